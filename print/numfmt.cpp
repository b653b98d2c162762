#include "print/numfmt.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "print/numfmt_internal.h"

namespace ledgerix::print {

using numfmt::Section;
using numfmt::Token;

struct NumberFormat::Impl {
  std::vector<Section> sections;
};

NumberFormat::NumberFormat(std::string_view code) : impl_(std::make_unique<Impl>()) {
  impl_->sections = numfmt::ParseCode(code);
}
NumberFormat::~NumberFormat() = default;
NumberFormat::NumberFormat(NumberFormat&&) noexcept = default;
NumberFormat& NumberFormat::operator=(NumberFormat&&) noexcept = default;

bool NumberFormat::IsDateTime() const {
  return !impl_->sections.empty() && impl_->sections[0].kind == Section::Kind::Date;
}

std::string PadSpaces(std::string_view ch) {
  // Spaces per character from '!' to '~'.
  static constexpr std::string_view kSpaces =
      "11223211112111122222222221122223222222321222333232222232221112212222212211213222212122222211"
      "12";
  std::size_t n = 1;
  if (!ch.empty()) {
    auto c = static_cast<unsigned char>(ch[0]);
    if (c >= 0x80)
      n = 2;
    else if (c > ' ' && c < 0x7F)
      n = static_cast<std::size_t>(kSpaces[c - '!'] - '0');
  }
  return std::string(n, ' ');
}

namespace {

void Finish(ShownValue& out) {
  out.text.clear();
  for (const ShownPiece& p : out.pieces) {
    if (p.kind == ShownPiece::Kind::Text) out.text += p.text;
    if (p.kind == ShownPiece::Kind::Pad) out.text += PadSpaces(p.text);
  }
}

ShownValue PlainText(std::string text, bool numeric) {
  ShownValue out;
  out.pieces.push_back({ShownPiece::Kind::Text, std::move(text)});
  out.numeric = numeric;
  Finish(out);
  return out;
}

bool Holds(const numfmt::Condition& c, double v) {
  switch (c.op) {
    case numfmt::Condition::Op::Lt:
      return v < c.value;
    case numfmt::Condition::Op::Le:
      return v <= c.value;
    case numfmt::Condition::Op::Gt:
      return v > c.value;
    case numfmt::Condition::Op::Ge:
      return v >= c.value;
    case numfmt::Condition::Op::Eq:
      return v == c.value;
    case numfmt::Condition::Op::Ne:
      return v != c.value;
  }
  return false;
}

// The numeric sections: every section but a trailing text-only one.
struct Choice {
  const Section* section = nullptr;
  bool minus = false;  // the section shows the value's sign itself only when it is not the
                       // negative section
};

Choice ChooseNumberSection(const std::vector<Section>& all, double v) {
  std::vector<const Section*> nums;
  for (const Section& s : all) {
    if (s.kind == Section::Kind::Text) break;
    nums.push_back(&s);
  }
  Choice c;
  if (nums.empty()) return c;
  bool any_condition = false;
  for (const Section* s : nums) any_condition = any_condition || s->condition.has_value();
  if (any_condition) {
    // Conditions are tried in order; a section without one takes what the earlier ones left.
    for (std::size_t i = 0; i < nums.size() && i < 3; ++i) {
      const Section* s = nums[i];
      bool take = s->condition ? Holds(*s->condition, v) : true;
      if (!s->condition && i == 0) take = v >= 0 || nums.size() == 1;  // plain first: positives
      if (!s->condition && i == 1 && nums.size() > 2 && v == 0) take = false;
      if (take) {
        c.section = s;
        // A "[<0]" section says the sign in its own text.
        bool negative_only = s->condition &&
                             (s->condition->op == numfmt::Condition::Op::Lt ||
                              s->condition->op == numfmt::Condition::Op::Le) &&
                             s->condition->value == 0;
        // Sections taken without a condition show the magnitude.
        c.minus = v < 0 && s->condition && !negative_only;
        return c;
      }
    }
    // Nothing matched: the value shows as General in the first section's look.
    c.section = nullptr;
    return c;
  }
  if (v > 0 || (v == 0 && nums.size() < 3) || (v < 0 && nums.size() == 1)) {
    c.section = nums[0];
    c.minus = v < 0;
  } else if (v < 0) {
    c.section = nums[1];
  } else {
    c.section = nums[2];
  }
  return c;
}

const Section* TextSection(const std::vector<Section>& all) {
  for (auto it = all.rbegin(); it != all.rend(); ++it)
    if (it->kind == Section::Kind::Text) return &*it;
  // A fourth section is for text whatever it holds (General there shows the text).
  if (all.size() >= 4) return &all[3];
  return nullptr;
}

}  // namespace

ShownValue NumberFormat::Format(const Variant& value, bool date1904) const {
  const std::vector<Section>& secs = impl_->sections;
  switch (value.type()) {
    case Variant::Type::Empty:
      return ShownValue{};
    case Variant::Type::Boolean:
      return PlainText(value.boolean() ? "TRUE" : "FALSE", false);
    case Variant::Type::Error:
      return PlainText(CellErrorText(value.error()), false);
    case Variant::Type::String: {
      const Section* s = TextSection(secs);
      if (!s) return PlainText(value.string(), false);
      ShownValue out = numfmt::RenderText(*s, value.string());
      out.color = s->color;
      Finish(out);
      return out;
    }
    case Variant::Type::Number:
      break;
  }
  double v = value.number();
  if (!std::isfinite(v)) return PlainText("#NUM!", false);
  Choice c = ChooseNumberSection(secs, v);
  ShownValue out;
  if (!c.section) {
    out = PlainText(numfmt::GeneralText(v, 11), true);
    if (!secs.empty()) out.color = secs[0].color;
    return out;
  }
  out = numfmt::RenderNumber(*c.section, v, c.minus, date1904);
  out.color = c.section->color;
  out.numeric = true;
  if (out.text != "#") Finish(out);
  return out;
}

namespace {

const char* const kBuiltins[] = {
    "General",                                                                 // 0
    "0",                                                                       // 1
    "0.00",                                                                    // 2
    "#,##0",                                                                   // 3
    "#,##0.00",                                                                // 4
    "\"￥\"#,##0;\"￥\"\\-#,##0",                                              // 5
    "\"￥\"#,##0;[Red]\"￥\"\\-#,##0",                                         // 6
    "\"￥\"#,##0.00;\"￥\"\\-#,##0.00",                                        // 7
    "\"￥\"#,##0.00;[Red]\"￥\"\\-#,##0.00",                                   // 8
    "0%",                                                                      // 9
    "0.00%",                                                                   // 10
    "0.00E+00",                                                                // 11
    "# ?/?",                                                                   // 12
    "# ?\?/?\?",                                                               // 13
    "yyyy/m/d",                                                                // 14
    "d-mmm-yy",                                                                // 15
    "d-mmm",                                                                   // 16
    "mmm-yy",                                                                  // 17
    "h:mm AM/PM",                                                              // 18
    "h:mm:ss AM/PM",                                                           // 19
    "h:mm",                                                                    // 20
    "h:mm:ss",                                                                 // 21
    "yyyy/m/d h:mm",                                                           // 22
    "",                                                                        // 23
    "",                                                                        // 24
    "",                                                                        // 25
    "",                                                                        // 26
    "yyyy\"年\"m\"月\"",                                                       // 27
    "m\"月\"d\"日\"",                                                          // 28
    "m\"月\"d\"日\"",                                                          // 29
    "m-d-yy",                                                                  // 30
    "yyyy\"年\"m\"月\"d\"日\"",                                                // 31
    "h\"时\"mm\"分\"",                                                         // 32
    "h\"时\"mm\"分\"ss\"秒\"",                                                 // 33
    "上午/下午h\"时\"mm\"分\"",                                                // 34
    "上午/下午h\"时\"mm\"分\"ss\"秒\"",                                        // 35
    "yyyy\"年\"m\"月\"",                                                       // 36
    "#,##0_);(#,##0)",                                                         // 37
    "#,##0_);[Red](#,##0)",                                                    // 38
    "#,##0.00_);(#,##0.00)",                                                   // 39
    "#,##0.00_);[Red](#,##0.00)",                                              // 40
    "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ",                            // 41
    "_ \"￥\"* #,##0_ ;_ \"￥\"* \\-#,##0_ ;_ \"￥\"* \"-\"_ ;_ @_ ",          // 42
    "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ",                    // 43
    "_ \"￥\"* #,##0.00_ ;_ \"￥\"* \\-#,##0.00_ ;_ \"￥\"* \"-\"??_ ;_ @_ ",  // 44
    "mm:ss",                                                                   // 45
    "[h]:mm:ss",                                                               // 46
    "mm:ss.0",                                                                 // 47
    "##0.0E+0",                                                                // 48
    "@",                                                                       // 49
    "yyyy\"年\"m\"月\"",                                                       // 50
    "m\"月\"d\"日\"",                                                          // 51
    "yyyy\"年\"m\"月\"",                                                       // 52
    "m\"月\"d\"日\"",                                                          // 53
    "m\"月\"d\"日\"",                                                          // 54
    "上午/下午h\"时\"mm\"分\"",                                                // 55
    "上午/下午h\"时\"mm\"分\"ss\"秒\"",                                        // 56
    "yyyy\"年\"m\"月\"",                                                       // 57
    "m\"月\"d\"日\"",                                                          // 58
};

}  // namespace

std::string BuiltinFormatCode(int id) {
  if (id < 0 || id >= static_cast<int>(std::size(kBuiltins))) return {};
  return kBuiltins[id];
}

ShownValue FormatValue(const Variant& value, std::string_view code, bool date1904) {
  static std::mutex mu;
  static std::map<std::string, std::shared_ptr<NumberFormat>, std::less<>> cache;
  std::shared_ptr<NumberFormat> fmt;
  {
    std::lock_guard<std::mutex> lock(mu);
    auto it = cache.find(code);
    if (it != cache.end()) {
      fmt = it->second;
    } else {
      if (cache.size() > 4096) cache.clear();  // workbooks hold a few hundred codes at most
      fmt = std::make_shared<NumberFormat>(code);
      cache.emplace(std::string(code), fmt);
    }
  }
  return fmt->Format(value, date1904);
}

std::string FormatCodeOf(const engine::CellStyle& style) {
  if (style.num_fmt_code) return *style.num_fmt_code;
  std::string code = BuiltinFormatCode(style.num_fmt_id);
  return code.empty() ? "General" : code;
}

ShownValue ShownCell(engine::Book& book, int sheet, std::uint32_t row, std::uint32_t col,
                     const Variant& value) {
  const engine::CellStyle& style = book.Styles().Get(book.Layout(sheet).StyleOf(row, col));
  return FormatValue(value, FormatCodeOf(style), book.date1904());
}

}  // namespace ledgerix::print
