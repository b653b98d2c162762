// Numbers laid out by digit placeholders, General, scientific notation and fractions.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "print/numfmt_internal.h"

namespace ledgerix::print::numfmt {
namespace {

// |v| as decimal digits: value = 0.d1d2d3... × 10^exp, no leading zeros, "" for zero.
struct Decimal {
  std::string digits;
  int exp = 0;
};

// Spreadsheet applications keep 15 significant digits; the binary tail is noise.
Decimal ToDecimal(double v) {
  Decimal d;
  v = std::fabs(v);
  if (v == 0 || !std::isfinite(v)) return d;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", v);
  // "d.dddddddddddddde±XX"
  std::string s = buf;
  std::size_t e = s.find('e');
  d.digits = s.substr(0, 1) + s.substr(2, e - 2);
  d.exp = std::atoi(s.c_str() + e + 1) + 1;
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Keeps `keep` digits (counted from the first), rounding half away from zero.
void RoundDigits(Decimal& d, int keep) {
  if (keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  bool up = d.digits[keep] >= '5';
  d.digits.resize(keep);
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
    if (i < 0) {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exp;
    } else {
      ++d.digits[i];
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.exp = 0;
}

void Split(const Decimal& d, int decimals, std::string* ip, std::string* fp) {
  ip->clear();
  fp->assign(decimals, '0');
  for (int i = 0; i < static_cast<int>(d.digits.size()); ++i) {
    int pos = d.exp - 1 - i;  // power of ten of this digit
    if (pos >= 0) {
      if (ip->empty()) ip->assign(pos + 1, '0');
      (*ip)[ip->size() - 1 - pos] = d.digits[i];
    } else if (-pos <= decimals) {
      (*fp)[-pos - 1] = d.digits[i];
    }
  }
  if (ip->empty() && d.exp > 0) ip->assign(d.exp, '0');
}

std::string StripFraction(std::string s) {
  if (s.find('.') == std::string::npos) return s;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

class Builder {
 public:
  void Text(std::string_view t) {
    if (t.empty()) return;
    if (!pieces_.empty() && pieces_.back().kind == ShownPiece::Kind::Text)
      pieces_.back().text += t;
    else
      pieces_.push_back({ShownPiece::Kind::Text, std::string(t)});
  }
  void Token(const numfmt::Token& t) {
    if (t.kind == Token::Kind::Pad) {
      pieces_.push_back({ShownPiece::Kind::Pad, t.text});
    } else if (t.kind == Token::Kind::Fill) {
      if (!filled_) pieces_.push_back({ShownPiece::Kind::Fill, t.text});
      filled_ = true;
    } else {
      Text(t.text);
    }
  }
  ShownValue Done() {
    ShownValue out;
    out.pieces = std::move(pieces_);
    return out;
  }

 private:
  std::vector<ShownPiece> pieces_;
  bool filled_ = false;
};

// Integer digits into their placeholders: extra digits go to the leftmost one; missing ones
// show as "0", " " or nothing. Returns one text per placeholder.
std::vector<std::string> PlaceInteger(const std::vector<char>& ph, const std::string& digits,
                                      bool thousands) {
  std::vector<std::string> out(ph.size());
  int n = static_cast<int>(ph.size());
  int len = static_cast<int>(digits.size());
  auto emit = [&](std::string& o, int q, char filler) {
    // q: position from the right (0 = units)
    if (q < len) {
      o += digits[len - 1 - q];
    } else if (filler == '0') {
      o += '0';
    } else if (filler == '?') {
      o += ' ';
      return;
    } else {
      return;
    }
    if (thousands && q > 0 && q % 3 == 0) o += ',';
  };
  for (int i = 0; i < n; ++i) {
    int q = n - 1 - i;
    if (i == 0)
      for (int extra = len - 1; extra > q; --extra) emit(out[i], extra, '#');
    emit(out[i], q, ph[i]);
  }
  return out;
}

ShownValue RenderPlain(const Section& s, double a, bool minus) {
  const std::vector<Token>& t = s.tokens;
  std::size_t point = t.size();
  for (std::size_t i = 0; i < t.size(); ++i)
    if (t[i].kind == Token::Kind::Point) {
      point = i;
      break;
    }
  std::vector<char> int_ph, frac_ph;
  for (std::size_t i = 0; i < t.size(); ++i)
    if (t[i].kind == Token::Kind::Digit) (i < point ? int_ph : frac_ph).push_back(t[i].ch);
  std::string ip, fp;
  FixedDigits(a, static_cast<int>(frac_ph.size()), &ip, &fp);
  if (s.dbnum) {
    // Chinese numerals read the integer as a number; its placeholders take it whole.
    if (!ip.empty()) ip = ChineseNumber(ip, s.dbnum, true);
  }
  std::vector<std::string> ints;
  if (s.dbnum) {
    ints.assign(int_ph.size(), "");
    if (!int_ph.empty())
      ints[0] = ip.empty() ? (int_ph.back() == '0' ? ChineseNumber("0", s.dbnum, false) : "") : ip;
  } else {
    ints = PlaceInteger(int_ph, ip, s.thousands);
  }
  int last_nonzero = static_cast<int>(fp.find_last_not_of('0'));
  if (fp.find_last_not_of('0') == std::string::npos) last_nonzero = -1;
  // A value that rounds to zero shows no sign.
  if (ip.empty() && last_nonzero < 0 && !s.has_general) minus = false;
  // A "#" or "?" before a later "0" shows its digit.
  for (int j = 0; j < static_cast<int>(frac_ph.size()); ++j)
    if (frac_ph[j] == '0') last_nonzero = std::max(last_nonzero, j);
  Builder b;
  if (minus) b.Text(s.dbnum == 2 ? "负" : s.dbnum ? "－" : "-");
  // No integer placeholder: the integer digits still show, first.
  if (int_ph.empty() && point < t.size()) b.Text(ip);
  std::size_t ii = 0, fi = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const Token& tok = t[i];
    if (tok.kind == Token::Kind::Digit) {
      if (i < point) {
        if (ii < ints.size()) b.Text(ints[ii++]);
      } else {
        int j = static_cast<int>(fi++);
        std::string d;
        if (j <= last_nonzero)
          d = fp[j];
        else if (tok.ch == '0')
          d = "0";
        else if (tok.ch == '?')
          d = " ";
        if (s.dbnum && !d.empty() && d != " ") d = ChineseNumber(d, s.dbnum, false);
        b.Text(d);
      }
    } else if (tok.kind == Token::Kind::Point) {
      b.Text(s.dbnum == 2 ? "点" : s.dbnum ? "．" : ".");
    } else if (tok.kind == Token::Kind::General) {
      b.Text(GeneralText(a, 11));
    } else {
      b.Token(tok);
    }
  }
  return b.Done();
}

ShownValue RenderExponent(const Section& s, double a, bool minus) {
  const std::vector<Token>& t = s.tokens;
  std::size_t point = t.size(), expo = t.size();
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind == Token::Kind::Point && point == t.size() && expo == t.size()) point = i;
    if (t[i].kind == Token::Kind::Exponent && expo == t.size()) expo = i;
  }
  std::vector<char> int_ph, frac_ph, exp_ph;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind != Token::Kind::Digit) continue;
    if (i > expo)
      exp_ph.push_back(t[i].ch);
    else if (i > point)
      frac_ph.push_back(t[i].ch);
    else
      int_ph.push_back(t[i].ch);
  }
  int nint = std::max<int>(1, static_cast<int>(int_ph.size()));
  int nfrac = static_cast<int>(frac_ph.size());
  bool engineering = int_ph.size() > 1 && int_ph[0] == '#';
  Decimal d = ToDecimal(a);
  int e = 0;  // the exponent shown
  std::string ip, fp;
  if (!d.digits.empty()) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      int sci = d.exp - 1;
      if (engineering) {
        e = sci >= 0 ? sci / nint * nint : -((-sci + nint - 1) / nint) * nint;
      } else {
        e = sci - (nint - 1);
      }
      Decimal m = d;
      m.exp -= e;
      RoundDigits(m, m.exp + nfrac);
      Split(m, nfrac, &ip, &fp);
      int limit = engineering ? nint : static_cast<int>(int_ph.size() ? int_ph.size() : 1);
      if (static_cast<int>(ip.size()) <= limit || attempt == 1) break;
      RoundDigits(d, d.exp + nfrac - e);  // rounding carried into a new digit
    }
  } else {
    fp.assign(nfrac, '0');
  }
  std::vector<std::string> ints = PlaceInteger(int_ph, ip, s.thousands);
  int last_nonzero = -1;
  for (int j = 0; j < nfrac; ++j)
    if (fp[j] != '0') last_nonzero = j;
  std::string exp_digits = std::to_string(std::abs(e));
  int min_exp = 0;
  for (char c : exp_ph) min_exp += c == '0' ? 1 : 0;
  while (static_cast<int>(exp_digits.size()) < min_exp) exp_digits.insert(0, "0");
  Builder b;
  if (minus) b.Text("-");
  std::size_t ii = 0, fi = 0;
  bool exp_written = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const Token& tok = t[i];
    if (tok.kind == Token::Kind::Digit) {
      if (i > expo) {
        if (!exp_written) b.Text(exp_digits);
        exp_written = true;
      } else if (i < point) {
        if (ii < ints.size()) b.Text(ints[ii++]);
      } else {
        int j = static_cast<int>(fi++);
        if (j <= last_nonzero)
          b.Text(std::string(1, fp[j]));
        else if (tok.ch == '0')
          b.Text("0");
        else if (tok.ch == '?')
          b.Text(" ");
      }
    } else if (tok.kind == Token::Kind::Point) {
      b.Text(".");
    } else if (tok.kind == Token::Kind::Exponent) {
      b.Text(e < 0 ? "E-" : (tok.ch == '+' ? "E+" : "E"));
    } else {
      b.Token(tok);
    }
  }
  return b.Done();
}

// The closest fraction with a denominator below `limit` (ties: the smaller denominator).
void BestFraction(double f, int limit, long* num, long* den) {
  *num = 0, *den = 1;
  double best = f;
  for (long d = 1; d < limit; ++d) {
    long n = std::lround(f * d);
    double err = std::fabs(f - static_cast<double>(n) / d);
    if (err < best - 1e-12) {
      best = err, *num = n, *den = d;
      if (err == 0) break;
    }
  }
}

ShownValue RenderFraction(const Section& s, double a, bool minus) {
  const std::vector<Token>& t = s.tokens;
  std::size_t slash = 0;
  while (t[slash].kind != Token::Kind::Slash) ++slash;
  std::size_t num_start = slash;
  while (num_start > 0 && t[num_start - 1].kind == Token::Kind::Digit) --num_start;
  std::vector<char> int_ph, num_ph, den_ph;
  std::size_t den_end = slash + 1;
  long fixed_den = 0;
  if (den_end < t.size() && t[den_end].kind == Token::Kind::Literal) {
    // A written denominator ("/8", "/100": its zeros were read as placeholders).
    for (; den_end < t.size(); ++den_end) {
      const Token& d = t[den_end];
      if (d.kind == Token::Kind::Literal && d.text.size() == 1 && d.text[0] >= '0' &&
          d.text[0] <= '9')
        fixed_den = fixed_den * 10 + (d.text[0] - '0');
      else if (d.kind == Token::Kind::Digit && d.ch == '0')
        fixed_den *= 10;
      else
        break;
    }
  } else {
    while (den_end < t.size() && t[den_end].kind == Token::Kind::Digit)
      den_ph.push_back(t[den_end++].ch);
  }
  for (std::size_t i = 0; i < num_start; ++i)
    if (t[i].kind == Token::Kind::Digit) int_ph.push_back(t[i].ch);
  for (std::size_t i = num_start; i < slash; ++i) num_ph.push_back(t[i].ch);

  Decimal d = ToDecimal(a);
  RoundDigits(d, d.exp + 15);
  double v = 0;
  if (!d.digits.empty())
    v = std::strtod(("0." + d.digits + "e" + std::to_string(d.exp)).c_str(), nullptr);
  double whole = int_ph.empty() ? 0 : std::floor(v);
  double f = v - whole;
  long num = 0, den = 1;
  if (fixed_den > 0) {
    den = fixed_den;
    num = static_cast<long>(std::ceil(f * static_cast<double>(den) - 0.5));  // a half rounds down
  } else {
    int limit = 1;
    for (std::size_t k = 0; k < den_ph.size() && k < 4; ++k) limit *= 10;
    BestFraction(f, limit, &num, &den);
  }
  if (!int_ph.empty() && num == den) {
    whole += 1;
    num = 0;
  }
  std::string ip = whole > 0 ? std::to_string(static_cast<long long>(whole)) : "";
  bool blank_fraction = num == 0 && !int_ph.empty();
  std::vector<std::string> ints = PlaceInteger(int_ph, ip, s.thousands);
  if (blank_fraction && ip.empty() && !int_ph.empty()) ints.back() = "0";
  std::string num_s = std::to_string(num), den_s = std::to_string(den);
  // Placeholders beyond the digits: "0" a zero, "?" a space, "#" nothing.
  auto pad_left = [](std::string x, const std::vector<char>& ph) {
    for (std::size_t k = x.size(); k < ph.size(); ++k) {
      char c = ph[ph.size() - 1 - k];
      if (c != '#') x.insert(0, c == '0' ? "0" : " ");
    }
    return x;
  };
  auto pad_right = [](std::string x, const std::vector<char>& ph) {
    for (std::size_t k = x.size(); k < ph.size(); ++k)
      if (ph[k] != '#') x += ph[k] == '0' ? "0" : " ";
    return x;
  };
  num_s = pad_left(num_s, num_ph);
  den_s = fixed_den ? den_s : pad_right(den_s, den_ph);
  Builder b;
  if (minus && (whole > 0 || num > 0)) b.Text("-");
  std::size_t ii = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const Token& tok = t[i];
    if (i >= num_start && i < den_end) {
      if (i == num_start) {
        std::string whole_fraction = num_s + "/" + den_s;
        // A whole number keeps the fraction's width in spaces; a written denominator is
        // left out of that width.
        std::size_t blank = fixed_den ? num_s.size() + 1 : whole_fraction.size();
        b.Text(blank_fraction ? std::string(blank, ' ') : whole_fraction);
      }
      continue;
    }
    if (tok.kind == Token::Kind::Digit) {
      if (ii < ints.size()) b.Text(ints[ii++]);
    } else if (tok.kind == Token::Kind::Literal && blank_fraction && i + 1 == num_start) {
      b.Text(std::string(tok.text.size(), ' '));  // the gap before a blank fraction
    } else {
      b.Token(tok);
    }
  }
  return b.Done();
}

}  // namespace

void FixedDigits(double v, int decimals, std::string* int_part, std::string* frac_part) {
  Decimal d = ToDecimal(v);
  RoundDigits(d, d.exp + decimals);
  Split(d, decimals, int_part, frac_part);
}

std::string GeneralText(double v, int width) {
  Decimal d = ToDecimal(v);
  if (d.digits.empty()) return "0";
  std::string sign = v < 0 ? "-" : "";
  int sci = d.exp - 1;
  if (sci >= -5 + 1 && sci < width) {
    Decimal r = d;
    int decimals;
    if (sci >= 0)
      decimals = std::max(0, width - (sci + 1) - 1);
    else
      decimals = width - 2;  // "0." then digits
    RoundDigits(r, r.exp + decimals);
    if (!r.digits.empty() && r.exp <= width) {
      std::string ip, fp;
      Split(r, decimals, &ip, &fp);
      if (ip.empty()) ip = "0";
      std::string text = StripFraction(ip + (decimals ? "." + fp : ""));
      if (static_cast<int>(text.size()) <= width) return sign + text;
    }
  }
  // Scientific: as many mantissa digits as fit beside "E+XX".
  Decimal m = d;
  int exp_digits = std::abs(sci) >= 100 ? 3 : 2;
  int mantissa_decimals = width - 4 - exp_digits;  // "d." and "E+"
  RoundDigits(m, 1 + mantissa_decimals);
  sci = m.exp - 1;
  std::string digits = m.digits;
  std::string text(1, digits[0]);
  if (digits.size() > 1) text += "." + digits.substr(1);
  char buf[24];
  std::snprintf(buf, sizeof buf, "E%c%02d", sci < 0 ? '-' : '+', std::abs(sci));
  return sign + text + buf;
}

ShownValue RenderNumber(const Section& s, double v, bool minus, bool date1904) {
  if (s.kind == Section::Kind::Date) return RenderDate(s, v, date1904);
  double a = std::fabs(v);
  for (int i = 0; i < s.percent; ++i) a *= 100;
  for (int i = 0; i < s.scale_thousands; ++i) a /= 1000;
  if (s.has_exponent) return RenderExponent(s, a, minus);
  if (s.has_fraction) return RenderFraction(s, a, minus);
  if (s.dbnum && s.has_general && !s.has_digits) {
    Builder b;
    if (minus) b.Text("-");
    for (const Token& tok : s.tokens) {
      if (tok.kind != Token::Kind::General) {
        b.Token(tok);
        continue;
      }
      std::string g = GeneralText(a, 11);
      std::size_t dot = g.find('.');
      if (g.find('E') != std::string::npos) {
        b.Text(g);
        continue;
      }
      b.Text(ChineseNumber(g.substr(0, dot), s.dbnum, s.dbnum != 3));
      if (dot != std::string::npos) {
        b.Text(s.dbnum == 2 ? "点" : "．");
        b.Text(ChineseNumber(g.substr(dot + 1), s.dbnum, false));
      }
    }
    return b.Done();
  }
  return RenderPlain(s, a, minus);
}

ShownValue RenderText(const Section& s, const std::string& text) {
  Builder b;
  for (const Token& tok : s.tokens) {
    if (tok.kind == Token::Kind::At || tok.kind == Token::Kind::General)
      b.Text(text);
    else if (tok.kind == Token::Kind::Literal || tok.kind == Token::Kind::Pad ||
             tok.kind == Token::Kind::Fill || tok.kind == Token::Kind::AmPm ||
             tok.kind == Token::Kind::Date)
      b.Token(tok);
  }
  return b.Done();
}

namespace {

const char* const kLower[] = {"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
const char* const kUpper[] = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
const char* const kWide[] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};

// Reads digits (no leading zero) with units: groups of four under 万, 亿 and 兆, a zero inside
// read once ("一十万〇一十"), trailing zeros silent.
std::string ReadWithUnits(std::string_view digits, const char* const* names, bool upper) {
  struct Big {
    std::size_t digits;
    const char* unit;
  };
  static const Big kBig[] = {{12, "兆"}, {8, "亿"}, {4, "万"}};
  for (const Big& big : kBig) {
    if (digits.size() <= big.digits) continue;
    std::string_view high = digits.substr(0, digits.size() - big.digits);
    std::string_view low = digits.substr(digits.size() - big.digits);
    std::string out = ReadWithUnits(high, names, upper) + big.unit;
    std::size_t first = low.find_first_not_of('0');
    if (first == std::string_view::npos) return out;
    if (first > 0) out += names[0];
    return out + ReadWithUnits(low.substr(first), names, upper);
  }
  const char* const small[] = {"", upper ? "拾" : "十", upper ? "佰" : "百", upper ? "仟" : "千"};
  std::string out;
  bool pending_zero = false;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    int d = digits[i] - '0';
    if (d == 0) {
      pending_zero = true;
      continue;
    }
    if (pending_zero) out += names[0];
    pending_zero = false;
    out += names[d];
    out += small[digits.size() - 1 - i];
  }
  return out;
}

}  // namespace

std::string ChineseNumber(std::string_view digits, int dbnum, bool with_units) {
  const char* const* names = dbnum == 2 ? kUpper : dbnum == 3 ? kWide : kLower;
  std::string out;
  // [DBNum3] replaces each digit by its full-width form, without units.
  if (!with_units || dbnum == 3) {
    for (char c : digits)
      if (c >= '0' && c <= '9') out += names[c - '0'];
    return out;
  }
  std::size_t start = digits.find_first_not_of('0');
  if (start == std::string_view::npos) return names[0];
  return ReadWithUnits(digits.substr(start), names, dbnum == 2);
}

}  // namespace ledgerix::print::numfmt
