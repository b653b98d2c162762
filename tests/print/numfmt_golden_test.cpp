// Every format code the corpus workbooks define, crossed with a set of values, against the text
// LibreOffice shows for them (tests/data/numfmt/shown.tsv, made by lo_shown.py there; this test
// needs no LibreOffice). Where LibreOffice departs from the spreadsheet application we follow,
// the departure is named by a narrow rule below, counted apart and listed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "print/numfmt.h"
#include "tests/print/lo_reference.h"

namespace ledgerix::print {
namespace {

using namespace testing;

struct Row {
  int count = 0;
  std::string code;
  std::vector<std::string> shown;
};

struct Golden {
  std::vector<Variant> values;
  std::vector<std::string> value_names;
  std::vector<Row> rows;
};

Golden Load(const std::string& name) {
  Golden g;
  std::ifstream in(std::string(LEDGERIX_TEST_DATA) + "/numfmt/" + name, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f = SplitTabs(line);
    if (f[0] == "#values") {
      for (std::size_t i = 1; i < f.size(); ++i) {
        g.value_names.push_back(f[i]);
        g.values.push_back(f[i].rfind("s:", 0) == 0
                               ? Variant::String(f[i].substr(2))
                               : Variant::Number(std::strtod(f[i].c_str(), nullptr)));
      }
      continue;
    }
    Row r;
    r.count = std::atoi(f[0].c_str());
    r.code = f[1];
    r.shown.assign(f.begin() + 2, f.end());
    g.rows.push_back(std::move(r));
  }
  return g;
}

struct Tally {
  std::size_t pairs = 0, equal = 0, refused = 0, departed = 0;
  // Departures where our formats keep the spreadsheet application's rule on purpose: its 1900
  // calendar with 29 February and General in 11 characters.
  std::size_t kept_rules = 0;
  std::vector<std::string> unexplained_top, unexplained_rest;
};

// Compares every pair and prints each departure and difference; the first `top` rows are the
// most frequent codes.
Tally Compare(const Golden& g, std::size_t top) {
  Tally t;
  std::map<std::string, std::size_t> departures;
  for (std::size_t r = 0; r < g.rows.size(); ++r) {
    const Row& row = g.rows[r];
    EXPECT_EQ(row.shown.size(), g.values.size()) << row.code;
    if (row.shown.size() != g.values.size()) continue;
    if (row.shown[0] == "!REFUSED") {
      ++t.refused;
      continue;
    }
    NumberFormat fmt(row.code);
    for (std::size_t i = 0; i < g.values.size(); ++i) {
      ++t.pairs;
      ShownValue ours = fmt.Format(g.values[i], false);
      const std::string& theirs = row.shown[i];
      if (ours.text == theirs) {
        ++t.equal;
        continue;
      }
      const std::string* next_day = nullptr;
      if (g.values[i].type() == Variant::Type::Number)
        for (std::size_t k = 0; k < g.values.size(); ++k)
          if (g.values[k].type() == Variant::Type::Number &&
              g.values[k].number() == g.values[i].number() + 1)
            next_day = &row.shown[k];
      std::string why = DepartureOf(fmt, row.code, g.values[i], ours, theirs, next_day);
      std::ostringstream line;
      line << "[" << row.code << "] " << g.value_names[i] << ": ours [" << ours.text
           << "] LibreOffice [" << theirs << "]";
      if (!why.empty()) {
        ++departures[why];
        std::cout << "  departure (" << why << ") " << line.str() << "\n";
      } else {
        (r < top ? t.unexplained_top : t.unexplained_rest).push_back(line.str());
      }
    }
  }
  for (const auto& [why, n] : departures) {
    t.departed += n;
    if (why.rfind("1900 calendar", 0) == 0 || why == "General 11 characters") t.kept_rules += n;
    std::cout << "departures (" << why << "): " << n << "\n";
  }
  std::size_t unexplained = t.unexplained_top.size() + t.unexplained_rest.size();
  std::cout << "codes " << g.rows.size() << " (refused by LibreOffice " << t.refused << "), pairs "
            << t.pairs << ", equal " << t.equal << " ("
            << (100.0 * static_cast<double>(t.equal) / static_cast<double>(t.pairs))
            << "%), departures " << t.departed << " (of them the application's own rules "
            << t.kept_rules << "), other differences " << unexplained << "\n";
  for (const std::string& d : t.unexplained_top) std::cout << "  TOP " << d << "\n";
  for (const std::string& d : t.unexplained_rest) std::cout << "  differs " << d << "\n";
  return t;
}

TEST(NumberFormatGolden, CorpusCodesAsLibreOfficeShowsThem) {
  Golden g = Load("shown.tsv");
  ASSERT_GE(g.rows.size(), 1000u) << "tests/data/numfmt/shown.tsv is missing or short";
  ASSERT_GE(g.values.size(), 10u);
  Tally t = Compare(g, 60);
  EXPECT_TRUE(t.unexplained_top.empty()) << "the 60 most frequent codes must all match";
  // Every other departure and difference, each listed above, stays under 1% of the pairs.
  EXPECT_GE(static_cast<double>(t.equal + t.kept_rules), 0.99 * static_cast<double>(t.pairs));
  EXPECT_GE(static_cast<double>(t.equal), 0.87 * static_cast<double>(t.pairs));
}

// The built-in codes as a zh-CN application names them, Chinese numerals, locale and currency
// tags, elapsed times and fractions of seconds: every pair must match.
TEST(NumberFormatGolden, BuiltInAndChineseCodesAsLibreOfficeShowsThem) {
  Golden g = Load("extra_shown.tsv");
  ASSERT_GE(g.rows.size(), 90u) << "tests/data/numfmt/extra_shown.tsv is missing or short";
  Tally t = Compare(g, g.rows.size());
  EXPECT_TRUE(t.unexplained_top.empty());
}

}  // namespace
}  // namespace ledgerix::print
