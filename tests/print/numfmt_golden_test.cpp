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

namespace ledgerix::print {
namespace {

std::string Unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char c = s[++i];
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c == '0' ? '\0' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    out.push_back(Unescape(std::string_view(line).substr(start, tab - start)));
    if (tab == std::string::npos) return out;
    start = tab + 1;
  }
}

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

std::string Lower(std::string_view s) {
  std::string out;
  for (char c : s) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// LibreOffice counts day 1 from 1899-12-31, so serials before 61 (1900-03-01) are a day off from
// the 1900 calendar with its 29 February: our text of v must be LibreOffice's of v + 1 when the
// value set holds it; day 0 ("1900-01-00") and 29 February have no LibreOffice counterpart.
// LibreOffice also shows negative serials as dates and times before 1900, and times of serials
// past 9999, where the spreadsheet application prints "#" across the cell.
std::string CalendarDeparture(const NumberFormat& f, const Variant& v, const ShownValue& ours,
                              const Golden& g, const Row& row) {
  if (v.type() != Variant::Type::Number || !f.IsDateTime()) return {};
  double x = v.number();
  if (x < 0 || x >= 2958466) return ours.text == "#" ? "1900 calendar: cannot be shown" : "";
  if (x >= 61) return {};
  if (x < 1 || x >= 60) return "1900 calendar: day 0 or 29 February";
  for (std::size_t i = 0; i < g.values.size(); ++i) {
    if (g.values[i].type() != Variant::Type::Number || g.values[i].number() != x + 1) continue;
    if (row.shown[i] == ours.text) return "1900 calendar: LibreOffice's next day";
    // The weekdays of those days follow the 1900 calendar too (day 1 is a Sunday).
    std::string lower = Lower(row.code);
    bool weekday = lower.find("ddd") != std::string::npos || lower.find("aaa") != std::string::npos;
    return weekday ? "1900 calendar: weekday of a day before March 1900" : "";
  }
  return "1900 calendar: no next day in the value set";
}

// General (and a number in a text format) shows at most 11 characters, sign not counted, with a
// two-digit exponent; LibreOffice shows 15 significant digits and writes a three-digit exponent.
bool GeneralDeparture(const std::string& code, const Variant& v, const std::string& theirs) {
  if (v.type() != Variant::Type::Number) return false;
  bool text_only =
      code.find('@') != std::string::npos && code.find_first_of("0#?") == std::string::npos;
  if (Lower(code).find("general") == std::string::npos && !text_only) return false;
  std::string digits = theirs;
  if (!digits.empty() && digits[0] == '-') digits.erase(0, 1);
  return digits.size() > 11 || theirs.find("E+0") != std::string::npos ||
         theirs.find("E-0") != std::string::npos;
}

// Padding `_x` is one space in our text; LibreOffice writes one to three spaces depending on
// the character. The rest must be equal.
bool PadMatches(const std::vector<ShownPiece>& pieces, std::size_t p, std::string_view theirs) {
  if (p == pieces.size()) return theirs.empty();
  const ShownPiece& piece = pieces[p];
  if (piece.kind == ShownPiece::Kind::Fill) return PadMatches(pieces, p + 1, theirs);
  if (piece.kind == ShownPiece::Kind::Text)
    return theirs.substr(0, piece.text.size()) == piece.text &&
           PadMatches(pieces, p + 1, theirs.substr(piece.text.size()));
  for (std::size_t n = 1; n <= 3 && n <= theirs.size() && theirs[n - 1] == ' '; ++n)
    if (PadMatches(pieces, p + 1, theirs.substr(n))) return true;
  return false;
}

bool PadDeparture(const ShownValue& ours, const std::string& theirs) {
  bool pads = false;
  for (const ShownPiece& p : ours.pieces) pads = pads || p.kind == ShownPiece::Kind::Pad;
  return pads && PadMatches(ours.pieces, 0, theirs);
}

// A locale tag changes names, not separators: the reader's decimal point and thousands comma
// stay, where LibreOffice switches to the tagged locale's (0x0C0A Spanish: "0,50").
bool SeparatorDeparture(const std::string& code, const std::string& ours,
                        const std::string& theirs) {
  if (code.find("[$-") == std::string::npos || ours.size() != theirs.size()) return false;
  std::string swapped = ours;
  for (char& c : swapped) c = c == '.' ? ',' : c == ',' ? '.' : c;
  std::string spaced = ours;
  for (char& c : spaced) c = c == '.' ? ',' : c == ',' ? ' ' : c;
  return swapped == theirs || spaced == theirs;
}

// A decimal point with no digit after it stays ("#.#" shows 1 as "1."); LibreOffice drops it.
bool PointDeparture(const std::string& ours, const std::string& theirs) {
  std::string dropped;
  for (std::size_t i = 0; i < ours.size(); ++i) {
    bool digit_after = i + 1 < ours.size() && ours[i + 1] >= '0' && ours[i + 1] <= '9';
    if (ours[i] == '.' && !digit_after) continue;
    dropped += ours[i];
  }
  return dropped != ours && dropped == theirs;
}

// Percent: we multiply the 15-digit decimal value by 100, so 1.005 shows as "101%" like 1.005
// shows as "1.01"; LibreOffice rounds the binary product 100.49999999999999 down.
bool PercentDeparture(const std::string& code, const Variant& v) {
  std::size_t percent = code.find('%');
  if (v.type() != Variant::Type::Number || percent == std::string::npos) return false;
  std::size_t point = code.find('.');
  int decimals = 0;
  if (point != std::string::npos && point < percent)
    for (std::size_t i = point + 1; i < percent && code[i] == '0'; ++i) ++decimals;
  double x = std::fabs(v.number()) * 100 * std::pow(10.0, decimals);
  double f = x - std::floor(x);
  return f > 0.4999999 && f < 0.5;
}

struct Tally {
  std::size_t pairs = 0, equal = 0, refused = 0, departed = 0;
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
      std::string why = CalendarDeparture(fmt, g.values[i], ours, g, row);
      if (!why.empty())
        ;
      else if (GeneralDeparture(row.code, g.values[i], theirs))
        why = "General 11 characters";
      else if (PadDeparture(ours, theirs))
        why = "pad width";
      else if (SeparatorDeparture(row.code, ours.text, theirs))
        why = "locale separators";
      else if (PointDeparture(ours.text, theirs))
        why = "decimal point";
      else if (PercentDeparture(row.code, g.values[i]))
        why = "percent rounding";
      else if (theirs == "#FMT")
        why = "LibreOffice cannot show it";
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
    std::cout << "departures (" << why << "): " << n << "\n";
  }
  std::size_t unexplained = t.unexplained_top.size() + t.unexplained_rest.size();
  std::cout << "codes " << g.rows.size() << " (refused by LibreOffice " << t.refused << "), pairs "
            << t.pairs << ", equal " << t.equal << " ("
            << (100.0 * static_cast<double>(t.equal) / static_cast<double>(t.pairs))
            << "%), departures " << t.departed << ", other differences " << unexplained << "\n";
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
  EXPECT_GE(static_cast<double>(t.equal + t.departed), 0.99 * static_cast<double>(t.pairs));
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
