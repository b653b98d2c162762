#include "engine/xlsx_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "bridges/utf8.h"

namespace ledgerix::engine {
namespace {

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// The code unit of an escape "_xHHHH_" at text[i], or -1.
int EscapeAt(std::string_view text, std::size_t i) {
  // Only a lower-case x: writers leave "_X0000_" unescaped because readers take it literally.
  if (text.size() - i < 7 || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') {
    return -1;
  }
  int unit = 0;
  for (std::size_t k = i + 2; k < i + 6; ++k) {
    int h = HexValue(text[k]);
    if (h < 0) return -1;
    unit = unit * 16 + h;
  }
  return unit;
}

bool IsXmlSpace(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's days_from_civil).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Reads exactly n digits at text[pos].
bool Digits(std::string_view text, std::size_t& pos, std::size_t n, unsigned* out) {
  if (text.size() - pos < n) return false;
  unsigned value = 0;
  for (std::size_t k = 0; k < n; ++k) {
    char ch = text[pos + k];
    if (ch < '0' || ch > '9') return false;
    value = value * 10 + static_cast<unsigned>(ch - '0');
  }
  pos += n;
  *out = value;
  return true;
}

bool Expect(std::string_view text, std::size_t& pos, char ch) {
  if (pos >= text.size() || text[pos] != ch) return false;
  ++pos;
  return true;
}

// "hh:mm[:ss[.fff]]" at pos as a fraction of a day.
bool ParseTime(std::string_view text, std::size_t& pos, double* fraction) {
  unsigned h = 0, m = 0, s = 0;
  if (!Digits(text, pos, 2, &h) || !Expect(text, pos, ':') || !Digits(text, pos, 2, &m)) {
    return false;
  }
  double seconds = 0;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!Digits(text, pos, 2, &s)) return false;
    seconds = s;
    if (pos < text.size() && text[pos] == '.') {
      std::size_t start = pos;
      ++pos;
      while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
      double part = 0;
      auto [end, ec] = std::from_chars(text.data() + start, text.data() + pos, part);
      if (ec != std::errc() || end != text.data() + pos) return false;
      seconds += part;
    }
  }
  if (h > 24 || m > 59 || seconds >= 61) return false;
  *fraction = (h * 3600.0 + m * 60.0 + seconds) / 86400.0;
  return true;
}

// A time-zone suffix, accepted and ignored.
bool ZoneSuffix(std::string_view text, std::size_t pos) {
  if (pos == text.size()) return true;
  if (text[pos] == 'Z') return pos + 1 == text.size();
  if (text[pos] != '+' && text[pos] != '-') return false;
  ++pos;
  unsigned h = 0, m = 0;
  return Digits(text, pos, 2, &h) && Expect(text, pos, ':') && Digits(text, pos, 2, &m) &&
         pos == text.size();
}

}  // namespace

std::string DecodeEscapes(std::string_view text) {
  std::size_t first = text.find("_x");
  if (first == std::string_view::npos) return std::string(text);
  std::string out(text.substr(0, first));
  out.reserve(text.size());
  for (std::size_t i = first; i < text.size();) {
    int unit = text[i] == '_' ? EscapeAt(text, i) : -1;
    if (unit < 0) {
      out.push_back(text[i++]);
      continue;
    }
    i += 7;
    std::uint32_t cp = static_cast<std::uint32_t>(unit);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      int low = i < text.size() ? EscapeAt(text, i) : -1;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00);
        i += 7;
      } else {
        cp = 0xFFFD;
      }
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool ParseXmlNumber(std::string_view text, double* out) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '-' ||
                        text.front() == '.')) {
    return false;
  }
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return false;
  }
  *out = value;
  return true;
}

bool ErrorFromXmlText(std::string_view text, CellError* out) {
  return CellErrorFromText(text, out);
}

bool IsoDateToSerial(std::string_view text, bool date1904, double* out) {
  std::size_t pos = 0;
  double fraction = 0;
  // A time alone is a fraction of a day.
  if (text.size() >= 3 && text[2] == ':') {
    if (!ParseTime(text, pos, &fraction) || !ZoneSuffix(text, pos)) return false;
    *out = fraction;
    return true;
  }
  unsigned y = 0, m = 0, d = 0;
  if (!Digits(text, pos, 4, &y) || !Expect(text, pos, '-') || !Digits(text, pos, 2, &m) ||
      !Expect(text, pos, '-') || !Digits(text, pos, 2, &d)) {
    return false;
  }
  static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (m < 1 || m > 12 || d < 1 || d > kDays[m - 1] || (m == 2 && d == 29 && !leap)) return false;
  if (pos < text.size() && (text[pos] == 'T' || text[pos] == ' ')) {
    ++pos;
    if (!ParseTime(text, pos, &fraction)) return false;
  }
  if (!ZoneSuffix(text, pos)) return false;
  std::int64_t days = DaysFromCivil(y, m, d);
  double serial;
  if (date1904) {
    serial = static_cast<double>(days - DaysFromCivil(1904, 1, 1));
  } else {
    // The 1900 system counts a 29 February 1900 that never was: from 1 March 1900 on,
    // serials are days since 30 December 1899; before it, since 31 December 1899.
    std::int64_t since = days - DaysFromCivil(1899, 12, 30);
    if (days < DaysFromCivil(1900, 3, 1)) since -= 1;
    serial = static_cast<double>(since);
  }
  *out = serial + fraction;
  return true;
}

}  // namespace ledgerix::engine
