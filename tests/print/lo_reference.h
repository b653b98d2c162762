// Reading the LibreOffice reference files of tests/data/numfmt, and the narrow rules that name
// where LibreOffice departs from the spreadsheet application our number formats follow.
#pragma once

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "print/numfmt.h"

namespace ledgerix::print::testing {

inline std::string Unescape(std::string_view s) {
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

inline std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    out.push_back(Unescape(std::string_view(line).substr(start, tab - start)));
    if (tab == std::string::npos) return out;
    start = tab + 1;
  }
}

inline std::string Lower(std::string_view s) {
  std::string out;
  for (char c : s) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// LibreOffice counts day 1 from 1899-12-31, so serials before 61 (1900-03-01) are a day off from
// the 1900 calendar with its 29 February: our text of v must be LibreOffice's of v + 1 when the
// caller has it (next_day); day 0 ("1900-01-00") and 29 February have no LibreOffice
// counterpart. LibreOffice also shows negative serials as dates and times before 1900, and
// times of serials past 9999, where the spreadsheet application prints "#" across the cell.
inline std::string CalendarDeparture(const NumberFormat& f, const std::string& code,
                                     const Variant& v, const ShownValue& ours,
                                     const std::string* next_day) {
  if (v.type() != Variant::Type::Number || !f.IsDateTime()) return {};
  double x = v.number();
  if (x < 0 || x >= 2958466) return ours.text == "#" ? "1900 calendar: cannot be shown" : "";
  if (x >= 61) return {};
  if (x < 1 || x >= 60) return "1900 calendar: day 0 or 29 February";
  if (!next_day) return "1900 calendar: no next day in the value set";
  if (*next_day == ours.text) return "1900 calendar: LibreOffice's next day";
  // The weekdays of those days follow the 1900 calendar too (day 1 is a Sunday).
  std::string lower = Lower(code);
  bool weekday = lower.find("ddd") != std::string::npos || lower.find("aaa") != std::string::npos;
  return weekday ? "1900 calendar: weekday of a day before March 1900" : "";
}

// General (and a number in a text format) shows at most 11 characters, sign not counted, with a
// two-digit exponent; LibreOffice shows 15 significant digits and writes a three-digit exponent.
inline bool GeneralDeparture(const std::string& code, const Variant& v, const std::string& theirs) {
  if (v.type() != Variant::Type::Number) return false;
  std::string plain;  // the code without its bracketed tags
  for (std::size_t i = 0, depth = 0; i < code.size(); ++i) {
    if (code[i] == '[') ++depth;
    if (depth == 0) plain += code[i];
    if (code[i] == ']' && depth > 0) --depth;
  }
  bool text_only =
      plain.find('@') != std::string::npos && plain.find_first_of("0#?") == std::string::npos;
  if (Lower(code).find("general") == std::string::npos && !text_only) return false;
  std::string digits = theirs;
  if (!digits.empty() && digits[0] == '-') digits.erase(0, 1);
  return digits.size() > 11 || theirs.find("E+0") != std::string::npos ||
         theirs.find("E-0") != std::string::npos;
}

// A locale tag changes names, not separators: the reader's decimal point and thousands comma
// stay, where LibreOffice switches to the tagged locale's (0x0C0A Spanish: "0,50").
inline bool SeparatorDeparture(const std::string& code, const std::string& ours,
                               const std::string& theirs) {
  if (code.find("[$-") == std::string::npos || ours.size() != theirs.size()) return false;
  std::string swapped = ours;
  for (char& c : swapped) c = c == '.' ? ',' : c == ',' ? '.' : c;
  std::string spaced = ours;
  for (char& c : spaced) c = c == '.' ? ',' : c == ',' ? ' ' : c;
  return swapped == theirs || spaced == theirs;
}

// A decimal point with no digit after it stays ("#.#" shows 1 as "1."); LibreOffice drops it.
inline bool PointDeparture(const std::string& ours, const std::string& theirs) {
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
inline bool PercentDeparture(const std::string& code, const Variant& v) {
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

// The departure that explains a difference, or "" for a plain difference.
inline std::string DepartureOf(const NumberFormat& fmt, const std::string& code, const Variant& v,
                               const ShownValue& ours, const std::string& theirs,
                               const std::string* next_day) {
  std::string why = CalendarDeparture(fmt, code, v, ours, next_day);
  if (!why.empty()) return why;
  if (GeneralDeparture(code, v, theirs)) return "General 11 characters";
  if (SeparatorDeparture(code, ours.text, theirs)) return "locale separators";
  if (PointDeparture(ours.text, theirs)) return "decimal point";
  if (PercentDeparture(code, v)) return "percent rounding";
  if (theirs == "#FMT") return "LibreOffice cannot show it";
  // "A/P" shows "A" or "P" as written; LibreOffice writes them in lower case.
  if (code.find("A/P") != std::string::npos && ours.text != theirs && Lower(ours.text) == theirs)
    return "A/P case";
  // A boolean shows TRUE or FALSE whatever the number format; LibreOffice shows a boolean
  // read into a General cell as 1 or 0.
  if (v.type() == Variant::Type::Boolean && theirs == (v.boolean() ? "1" : "0")) return "boolean";
  return {};
}

}  // namespace ledgerix::print::testing
