// Reading a format code into sections and tokens. Never fails: what cannot be read stays text.
#include <algorithm>
#include <cstdlib>

#include "bridges/utf8.h"
#include "print/numfmt_internal.h"

namespace ledgerix::print::numfmt {
namespace {

// One UTF-8 character at i (clamped to the end).
std::string CharAt(std::string_view s, std::size_t i) {
  if (i >= s.size()) return {};
  return std::string(s.substr(i, Utf8CharacterLength(s, i)));
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view s, std::size_t i, std::string_view word) {
  if (s.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Lower(s[i + k]) != Lower(word[k])) return false;
  return true;
}

std::vector<std::string_view> SplitSections(std::string_view code) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (quoted) {
      if (c == '"') quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '\\' || c == '_' || c == '*') {
      if (i + 1 < code.size()) i += Utf8CharacterLength(code, i + 1);
    } else if (c == '[') {
      std::size_t close = code.find(']', i);
      if (close != std::string_view::npos) i = close;
    } else if (c == ';') {
      out.push_back(code.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(code.substr(start));
  return out;
}

// The default palette of both file formats, indexes 8-63 ([Color1] is index 8).
constexpr std::uint32_t kPalette[56] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

std::optional<engine::ColorRef> ColorNamed(std::string_view name) {
  static const std::pair<std::string_view, std::uint32_t> kNames[] = {
      {"black", 0x000000},   {"blue", 0x0000FF}, {"cyan", 0x00FFFF},  {"green", 0x00FF00},
      {"magenta", 0xFF00FF}, {"red", 0xFF0000},  {"white", 0xFFFFFF}, {"yellow", 0xFFFF00},
  };
  std::string lower;
  for (char c : name) lower += Lower(c);
  for (const auto& [n, rgb] : kNames)
    if (lower == n) return engine::ColorRef::Rgb(rgb);
  if (lower.rfind("color", 0) == 0 && lower.size() > 5 && lower.size() <= 7) {
    int n = std::atoi(lower.c_str() + 5);
    if (n >= 1 && n <= 56) return engine::ColorRef::Rgb(kPalette[n - 1]);
  }
  return std::nullopt;
}

std::optional<Condition> ParseCondition(std::string_view b) {
  Condition c;
  std::size_t i = 0;
  if (b.substr(0, 2) == "<=") {
    c.op = Condition::Op::Le, i = 2;
  } else if (b.substr(0, 2) == ">=") {
    c.op = Condition::Op::Ge, i = 2;
  } else if (b.substr(0, 2) == "<>") {
    c.op = Condition::Op::Ne, i = 2;
  } else if (b[0] == '<') {
    c.op = Condition::Op::Lt, i = 1;
  } else if (b[0] == '>') {
    c.op = Condition::Op::Gt, i = 1;
  } else if (b[0] == '=') {
    c.op = Condition::Op::Eq, i = 1;
  } else {
    return std::nullopt;
  }
  std::string num(b.substr(i));
  char* end = nullptr;
  c.value = std::strtod(num.c_str(), &end);
  if (end == num.c_str()) return std::nullopt;
  return c;
}

// Text in brackets: colour, condition, locale/currency, Chinese numerals or elapsed time.
void ReadBracket(std::string_view b, Section& s) {
  if (b.empty()) return;
  if (auto color = ColorNamed(b)) {
    s.color = color;
    return;
  }
  if (b[0] == '<' || b[0] == '>' || b[0] == '=') {
    s.condition = ParseCondition(b);
    return;
  }
  if (b[0] == '$') {
    std::size_t dash = b.find('-', 1);
    std::string_view symbol = b.substr(1, dash == std::string_view::npos ? b.size() - 1 : dash - 1);
    if (!symbol.empty()) s.tokens.push_back({Token::Kind::Literal, std::string(symbol)});
    if (dash != std::string_view::npos) {
      long long lcid = std::strtoll(std::string(b.substr(dash + 1)).c_str(), nullptr, 16);
      // The top byte names the digits: 1E-20 are the Chinese numerals [DBNum1-3] (what
      // LibreOffice writes for them).
      int digits = static_cast<int>((lcid >> 24) & 0xFF);
      if (digits >= 0x1E && digits <= 0x20) s.dbnum = digits - 0x1D;
      lcid &= 0xFFFFFF;
      // Chinese (any region) is primary language 0x04; the system date and time codes
      // (F800, F400) keep the reader's language.
      if ((lcid & 0xFFFF) == 0xF800) s.system_date = 1;
      if ((lcid & 0xFFFF) == 0xF400) s.system_date = 2;
      if (lcid != 0 && (lcid & 0xF000) != 0xF000)
        s.lang = (lcid & 0x3FF) == 0x04 ? Lang::Chinese : Lang::English;
    }
    return;
  }
  if (StartsWithNoCase(b, 0, "dbnum") && b.size() == 6 && b[5] >= '1' && b[5] <= '3') {
    s.dbnum = b[5] - '0';
    return;
  }
  char c = Lower(b[0]);
  if (c == 'h' || c == 'm' || c == 's') {
    bool same = std::all_of(b.begin(), b.end(), [c](char x) { return Lower(x) == c; });
    if (same) s.tokens.push_back({Token::Kind::Elapsed, std::string(b.size(), c)});
  }
  // Anything else ([NatNum], calendars) changes nothing we show.
}

void Tokenize(std::string_view src, Section& s) {
  auto lit = [&s](std::string t) { s.tokens.push_back({Token::Kind::Literal, std::move(t)}); };
  for (std::size_t i = 0; i < src.size();) {
    char c = src[i];
    if (c == '"') {
      std::size_t close = src.find('"', i + 1);
      if (close == std::string_view::npos) close = src.size();
      lit(std::string(src.substr(i + 1, close - i - 1)));
      i = close + 1;
    } else if (c == '\\' || c == '_' || c == '*') {
      std::string next = CharAt(src, i + 1);
      if (c == '\\') {
        lit(next);
      } else if (!next.empty()) {
        s.tokens.push_back({c == '_' ? Token::Kind::Pad : Token::Kind::Fill, next});
      }
      i += 1 + next.size();
    } else if (c == '[') {
      std::size_t close = src.find(']', i);
      if (close == std::string_view::npos) {
        lit("[");
        ++i;
        continue;
      }
      ReadBracket(src.substr(i + 1, close - i - 1), s);
      i = close + 1;
    } else if (c == '0' || c == '#' || c == '?') {
      s.tokens.push_back({Token::Kind::Digit, {}, c});
      ++i;
    } else if (c == '.') {
      s.tokens.push_back({Token::Kind::Point, "."});
      ++i;
    } else if (c == ',') {
      s.tokens.push_back({Token::Kind::Comma, ","});
      ++i;
    } else if (c == '%') {
      s.tokens.push_back({Token::Kind::Percent, "%"});
      ++i;
    } else if ((c == 'E' || c == 'e') && i + 1 < src.size() &&
               (src[i + 1] == '+' || src[i + 1] == '-')) {
      s.tokens.push_back({Token::Kind::Exponent, {}, src[i + 1]});
      i += 2;
    } else if (c == '/') {
      s.tokens.push_back({Token::Kind::Slash, "/"});
      ++i;
    } else if (c == '@') {
      s.tokens.push_back({Token::Kind::At, {}});
      ++i;
    } else if (StartsWithNoCase(src, i, "general")) {
      s.tokens.push_back({Token::Kind::General, {}});
      i += 7;
    } else if (StartsWithNoCase(src, i, "G/通用格式")) {
      // General as Chinese versions of the spreadsheet application write it.
      s.tokens.push_back({Token::Kind::General, {}});
      i += std::string_view("G/通用格式").size();
    } else if (StartsWithNoCase(src, i, "am/pm")) {
      s.tokens.push_back({Token::Kind::AmPm, std::string(src.substr(i, 5))});
      i += 5;
    } else if (StartsWithNoCase(src, i, "a/p")) {
      s.tokens.push_back({Token::Kind::AmPm, std::string(src.substr(i, 3))});
      i += 3;
    } else if (src.substr(i, 13) == "上午/下午") {
      s.tokens.push_back({Token::Kind::AmPm, "上午/下午"});
      i += 13;
    } else if (Lower(c) == 'a' && StartsWithNoCase(src, i, "aaa")) {
      std::size_t j = i;
      while (j < src.size() && Lower(src[j]) == 'a') ++j;
      s.tokens.push_back({Token::Kind::Date, std::string(std::min<std::size_t>(j - i, 4), 'a')});
      i = j;
    } else if (Lower(c) == 'e' &&
               !(i + 1 < src.size() && (src[i + 1] == '+' || src[i + 1] == '-'))) {
      std::size_t j = i;
      while (j < src.size() && Lower(src[j]) == 'e') ++j;
      s.tokens.push_back({Token::Kind::Date, "e"});
      i = j;
    } else if (char l = Lower(c); l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's') {
      std::size_t j = i;
      while (j < src.size() && Lower(src[j]) == l) ++j;
      s.tokens.push_back({Token::Kind::Date, std::string(j - i, l)});
      i = j;
    } else {
      std::string ch = CharAt(src, i);
      lit(ch);
      i += ch.size();
    }
  }
}

bool IsDateToken(const Token& t) {
  return t.kind == Token::Kind::Date || t.kind == Token::Kind::Elapsed ||
         t.kind == Token::Kind::Minute;
}

void ResolveDate(Section& s) {
  std::vector<Token>& t = s.tokens;
  // m or mm is minutes after an hour or before seconds.
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind != Token::Kind::Date || t[i].text[0] != 'm' || t[i].text.size() > 2) continue;
    bool minute = false;
    for (std::size_t k = i; k-- > 0;) {
      if (!IsDateToken(t[k])) continue;
      minute = t[k].text[0] == 'h';
      break;
    }
    for (std::size_t k = i + 1; k < t.size() && !minute; ++k) {
      if (!IsDateToken(t[k])) continue;
      minute = t[k].text[0] == 's';
      break;
    }
    if (minute) t[i].kind = Token::Kind::Minute;
  }
  // A point followed by zeros after seconds gives fractions of a second.
  std::vector<Token> out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind == Token::Kind::Point && i + 1 < t.size() &&
        t[i + 1].kind == Token::Kind::Digit && t[i + 1].ch == '0') {
      int n = 0;
      while (i + 1 < t.size() && t[i + 1].kind == Token::Kind::Digit && t[i + 1].ch == '0') {
        ++n;
        ++i;
      }
      out.push_back({Token::Kind::SubSecond, {}, 0, std::min(n, 3)});
      s.subsecond_digits = std::max(s.subsecond_digits, std::min(n, 3));
      continue;
    }
    Token tok = t[i];
    // Digits, commas and the like in a date are plain text.
    if (tok.kind == Token::Kind::Digit || tok.kind == Token::Kind::Point ||
        tok.kind == Token::Kind::Comma || tok.kind == Token::Kind::Slash ||
        tok.kind == Token::Kind::Percent) {
      if (tok.kind == Token::Kind::Digit) tok.text = std::string(1, tok.ch);
      tok.kind = Token::Kind::Literal;
    }
    if (tok.kind == Token::Kind::Exponent) tok = {Token::Kind::Literal, std::string("E") + tok.ch};
    if (tok.kind == Token::Kind::AmPm) s.has_ampm = true;
    out.push_back(tok);
  }
  t = std::move(out);
}

void ResolveNumber(Section& s) {
  std::vector<Token>& t = s.tokens;
  bool seen_point = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    Token& tok = t[i];
    switch (tok.kind) {
      case Token::Kind::Digit:
        s.has_digits = true;
        break;
      case Token::Kind::Point:
        seen_point = true;
        break;
      case Token::Kind::Percent:
        ++s.percent;
        break;
      case Token::Kind::Exponent:
        s.has_exponent = true;
        break;
      case Token::Kind::General:
        s.has_general = true;
        break;
      case Token::Kind::Comma: {
        std::size_t k = i + 1;
        while (k < t.size() && (t[k].kind == Token::Kind::Comma)) ++k;
        bool digit_follows = k < t.size() && t[k].kind == Token::Kind::Digit;
        bool digit_before = false;
        for (std::size_t b = 0; b < i; ++b) digit_before |= t[b].kind == Token::Kind::Digit;
        if (digit_follows && !seen_point && digit_before) {
          s.thousands = true;
          tok.kind = Token::Kind::Literal, tok.text.clear();  // placed by the digits
        } else if (digit_before && !digit_follows) {
          ++s.scale_thousands;
          tok.kind = Token::Kind::Literal, tok.text.clear();
        } else {
          tok.kind = Token::Kind::Literal;  // a comma standing for itself
        }
        break;
      }
      default:
        break;
    }
  }
  // A slash between digits makes a fraction; fixed denominators are digits written after it.
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind != Token::Kind::Slash) continue;
    bool before = i > 0 && t[i - 1].kind == Token::Kind::Digit;
    bool after =
        i + 1 < t.size() && (t[i + 1].kind == Token::Kind::Digit ||
                             (t[i + 1].kind == Token::Kind::Literal && t[i + 1].text.size() == 1 &&
                              t[i + 1].text[0] >= '1' && t[i + 1].text[0] <= '9'));
    if (before && after && !s.has_fraction && !s.has_exponent) {
      s.has_fraction = true;
    } else {
      t[i].kind = Token::Kind::Literal;
    }
  }
  // Outside fractions, the slash of a number is text.
}

}  // namespace

std::vector<Section> ParseCode(std::string_view code) {
  std::vector<Section> out;
  std::vector<std::string_view> parts = SplitSections(code);
  if (parts.size() > 4) parts.resize(4);
  for (std::string_view part : parts) {
    Section s;
    Tokenize(part, s);
    bool date = false, at = false, number = false;
    for (const Token& t : s.tokens) {
      date |= (t.kind == Token::Kind::Date && t.text != "e") || t.kind == Token::Kind::Elapsed ||
              t.kind == Token::Kind::AmPm;
      at |= t.kind == Token::Kind::At;
      number |= t.kind == Token::Kind::Digit || t.kind == Token::Kind::General;
    }
    if (date) {
      s.kind = Section::Kind::Date;
      ResolveDate(s);
    } else if (at && !number) {
      s.kind = Section::Kind::Text;
    } else {
      s.kind = Section::Kind::Number;
      ResolveNumber(s);
    }
    out.push_back(std::move(s));
  }
  // An empty code is General.
  if (out.size() == 1 && out[0].tokens.empty() && !out[0].color && code.empty()) {
    out[0].tokens.push_back({Token::Kind::General, {}});
    out[0].has_general = true;
  }
  return out;
}

}  // namespace ledgerix::print::numfmt
