// The parsed form of a number format code, shared by the parser and the renderers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "print/numfmt.h"

namespace ledgerix::print::numfmt {

struct Token {
  enum class Kind {
    Literal,    // text: quoted, escaped, or a character standing for itself
    Pad,        // _x
    Fill,       // *x
    Digit,      // 0 # ?  (ch)
    Point,      // decimal point
    Comma,      // thousands separator or, trailing, divide by 1000
    Percent,    // % (shown, and multiplies by 100)
    Exponent,   // E+ E- e+ e- (ch is '+' or '-')
    Slash,      // fraction bar
    At,         // @, the text
    General,    // the General format inside a section
    Date,       // y m d h s runs (text holds the run, lower case), with m resolved below
    Minute,     // m or mm meaning minutes
    Elapsed,    // [h] [m] [s] (text holds the run)
    AmPm,       // AM/PM, A/P or 上午/下午 (text as written)
    SubSecond,  // .0 .00 .000 after seconds (count in n)
  };
  Kind kind = Kind::Literal;
  std::string text;
  char ch = 0;
  int n = 0;
};

struct Condition {
  enum class Op { Lt, Le, Gt, Ge, Eq, Ne };
  Op op = Op::Gt;
  double value = 0;
};

// The language names and AM/PM follow: Chinese unless the code names another locale; a
// language without names of its own here takes the English ones.
enum class Lang { Chinese, English, German, French, Spanish, Czech, Polish, Romanian };

// The language of a locale id's primary language (its low 10 bits).
Lang LangOfLcid(long long lcid);

struct Section {
  enum class Kind { Number, Date, Text };
  Kind kind = Kind::Number;
  std::vector<Token> tokens;
  std::optional<engine::ColorRef> color;
  std::optional<Condition> condition;
  Lang lang = Lang::Chinese;
  int dbnum = 0;  // [DBNum1-3]
  // Number layout, worked out once at parse time.
  bool thousands = false;
  int scale_thousands = 0;  // trailing commas
  int percent = 0;
  bool has_digits = false;
  bool has_exponent = false;
  bool has_fraction = false;
  bool has_general = false;
  // Dates.
  bool has_ampm = false;
  int system_date = 0;  // [$-F800] the reader's long date (1), [$-F400] its time (2)
  int subsecond_digits = 0;
};

std::vector<Section> ParseCode(std::string_view code);

// The value in this section; minus: put a "-" before the text.
ShownValue RenderNumber(const Section& s, double v, bool minus, bool date1904);
ShownValue RenderText(const Section& s, const std::string& text);
ShownValue RenderDate(const Section& s, double v, bool date1904);

// General: the shortest text of at most `width` characters (a minus sign not counted), then
// scientific notation; 15 significant digits at most.
std::string GeneralText(double v, int width);

// Chinese numerals for a run of ASCII digits, [DBNum1-3]; with_units reads the number
// ("一千二百三十四"), without it each digit is replaced ("二〇〇八").
std::string ChineseNumber(std::string_view digits, int dbnum, bool with_units);

// Decimal digits of |v| after rounding to 15 significant digits, then to `decimals` places:
// integer digits without leading zeros ("" for 0) and exactly `decimals` fraction digits.
void FixedDigits(double v, int decimals, std::string* int_part, std::string* frac_part);

}  // namespace ledgerix::print::numfmt
