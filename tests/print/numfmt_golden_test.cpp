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

Golden Load() {
  Golden g;
  std::ifstream in(std::string(LEDGERIX_TEST_DATA) + "/numfmt/shown.tsv", std::ios::binary);
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

// LibreOffice counts day 1 from 1899-12-31, so serials before 61 (1900-03-01) are a day off from
// the 1900 calendar with its 29 February; it also shows negative serials as dates and times
// before 1900, and times of serials past 9999, where the spreadsheet application prints "#"
// across the cell.
bool CalendarDeparture(const NumberFormat& f, const Variant& v, const ShownValue& ours) {
  if (v.type() != Variant::Type::Number || !f.IsDateTime()) return false;
  if (v.number() < 0 || v.number() >= 2958466) return ours.text == "#";
  return v.number() < 61;
}

std::string Lower(std::string_view s) {
  std::string out;
  for (char c : s) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
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

TEST(NumberFormatGolden, CorpusCodesAsLibreOfficeShowsThem) {
  Golden g = Load();
  ASSERT_GE(g.rows.size(), 1000u) << "tests/data/numfmt/shown.tsv is missing or short";
  ASSERT_GE(g.values.size(), 10u);
  std::size_t pairs = 0, equal = 0, refused = 0;
  std::map<std::string, std::size_t> departures;
  std::vector<std::string> unexplained_top, unexplained_rest;
  for (std::size_t r = 0; r < g.rows.size(); ++r) {
    const Row& row = g.rows[r];
    ASSERT_EQ(row.shown.size(), g.values.size()) << row.code;
    if (row.shown[0] == "!REFUSED") {
      ++refused;
      continue;
    }
    NumberFormat fmt(row.code);
    for (std::size_t i = 0; i < g.values.size(); ++i) {
      ++pairs;
      ShownValue ours = fmt.Format(g.values[i], false);
      const std::string& theirs = row.shown[i];
      if (ours.text == theirs) {
        ++equal;
        continue;
      }
      std::string why;
      if (CalendarDeparture(fmt, g.values[i], ours))
        why = "1900 calendar";
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
        (r < 60 ? unexplained_top : unexplained_rest).push_back(line.str());
      }
    }
  }
  std::size_t departed = 0;
  for (const auto& [why, n] : departures) departed += n;
  std::size_t unexplained = unexplained_top.size() + unexplained_rest.size();
  std::cout << "codes " << g.rows.size() << " (refused by LibreOffice " << refused << "), pairs "
            << pairs << ", equal " << equal << " ("
            << (100.0 * static_cast<double>(equal) / static_cast<double>(pairs))
            << "%), departures " << departed << ", other differences " << unexplained << "\n";
  for (const std::string& d : unexplained_top) std::cout << "  TOP-60 " << d << "\n";
  for (const std::string& d : unexplained_rest) std::cout << "  differs " << d << "\n";
  EXPECT_TRUE(unexplained_top.empty()) << "the 60 most frequent codes must all match";
  EXPECT_GE(static_cast<double>(equal + departed), 0.99 * static_cast<double>(pairs));
}

}  // namespace
}  // namespace ledgerix::print
