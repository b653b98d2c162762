// Dates, times, Chinese numerals, built-in codes and unreadable codes: what LibreOffice cannot
// serve as a reference for (the 1900 calendar's first days, the 1904 system) or what the
// reference set touches only lightly.
#include <gtest/gtest.h>

#include <random>

#include "print/numfmt.h"

namespace ledgerix::print {
namespace {

std::string Shown(double v, std::string_view code, bool date1904 = false) {
  return FormatValue(Variant::Number(v), code, date1904).text;
}

TEST(NumberFormatCalendar, The1900SystemKeepsItsDayZeroAndTwentyNinthOfFebruary) {
  EXPECT_EQ(Shown(0, "yyyy/m/d"), "1900/1/0");
  EXPECT_EQ(Shown(1, "yyyy/m/d"), "1900/1/1");
  EXPECT_EQ(Shown(59, "yyyy/m/d"), "1900/2/28");
  EXPECT_EQ(Shown(60, "yyyy/m/d"), "1900/2/29");
  EXPECT_EQ(Shown(61, "yyyy/m/d"), "1900/3/1");
  EXPECT_EQ(Shown(39538, "yyyy-mm-dd"), "2008-03-31");
  EXPECT_EQ(Shown(2958465, "yyyy-mm-dd"), "9999-12-31");
  // Day 1 is a Sunday; from March 1900 on the weekdays are the real ones.
  EXPECT_EQ(Shown(1, "dddd"), "星期日");
  EXPECT_EQ(Shown(61, "dddd"), "星期四");
  EXPECT_EQ(Shown(39538, "[$-409]dddd"), "Monday");
}

TEST(NumberFormatCalendar, The1904SystemCountsFromItsFirstDay) {
  EXPECT_EQ(Shown(0, "yyyy/m/d", true), "1904/1/1");
  EXPECT_EQ(Shown(39538.75, "yyyy/m/d h:mm", true), "2012/4/1 18:00");
  EXPECT_EQ(Shown(0, "dddd", true), "星期五");
}

TEST(NumberFormatCalendar, DatesThatCannotBeShownFillTheCellWithHashes) {
  for (double v : {-1.0, -0.5, 2958466.0, 1e17}) {
    ShownValue s = FormatValue(Variant::Number(v), "yyyy/m/d", false);
    EXPECT_EQ(s.text, "#") << v;
    ASSERT_EQ(s.pieces.size(), 1u) << v;
    EXPECT_EQ(s.pieces[0].kind, ShownPiece::Kind::Fill);
    EXPECT_EQ(s.pieces[0].text, "#");
    EXPECT_TRUE(s.numeric);
  }
  EXPECT_EQ(Shown(-0.5, "h:mm"), "#");
}

TEST(NumberFormatTime, SecondsRoundAndCarryIntoTheNextDay) {
  EXPECT_EQ(Shown(39538.75, "h:mm:ss"), "18:00:00");
  EXPECT_EQ(Shown(39538.9999999, "yyyy/m/d h:mm:ss"), "2008/4/1 0:00:00");
  EXPECT_EQ(Shown(0.5 + 0.25 / 86400, "hh:mm:ss.00"), "12:00:00.25");
  EXPECT_EQ(Shown(0.5 + 0.25 / 86400, "mm:ss.0"), "00:00.3");
  EXPECT_EQ(Shown(1.5, "[h]:mm:ss"), "36:00:00");
  EXPECT_EQ(Shown(0.5, "[mm]:ss"), "720:00");
  EXPECT_EQ(Shown(1.0 / 24, "[s]"), "3600");
  // m is minutes after an hour or before seconds, otherwise the month.
  EXPECT_EQ(Shown(39538.5 + 5.0 / 1440, "m/d h:m"), "3/31 12:5");
  EXPECT_EQ(Shown(39538.5 + 5.0 / 1440, "mm:ss"), "05:00");
}

TEST(NumberFormatTime, MorningAndAfternoonInTheReadersLanguage) {
  EXPECT_EQ(Shown(0.75, "h:mm AM/PM"), "6:00 下午");
  EXPECT_EQ(Shown(0, "h:mm AM/PM"), "12:00 上午");
  EXPECT_EQ(Shown(0.75, "[$-409]h:mm AM/PM"), "6:00 PM");
  EXPECT_EQ(Shown(0.25, "[$-409]hh:mm am/pm"), "06:00 AM");
  EXPECT_EQ(Shown(0.75, "h:mm A/P"), "6:00 P");
  EXPECT_EQ(Shown(0.75, "上午/下午h\"时\"mm\"分\""), "下午6时00分");
  EXPECT_EQ(Shown(39538, "mmm mmmm mmmmm ddd aaaa"), "3月 三月 三 一 星期一");
  EXPECT_EQ(Shown(39538, "[$-409]mmm mmmm mmmmm ddd"), "Mar March M Mon");
}

TEST(NumberFormatChinese, NumeralsWithUnitsAsOnTaxForms) {
  EXPECT_EQ(Shown(1234, "[DBNum1][$-804]General"), "一千二百三十四");
  EXPECT_EQ(Shown(1234.5, "[DBNum2][$-804]General"), "壹仟贰佰叁拾肆点伍");
  EXPECT_EQ(Shown(100010, "[DBNum1]General"), "一十万〇一十");
  EXPECT_EQ(Shown(10005, "[DBNum2]0"), "壹万零伍");
  EXPECT_EQ(Shown(100000000, "[DBNum1]0"), "一亿");
  EXPECT_EQ(Shown(100000001, "[DBNum1]0"), "一亿〇一");
  EXPECT_EQ(Shown(1000000000001, "[DBNum1]0"), "一兆〇一");
  EXPECT_EQ(Shown(0, "[DBNum2]0"), "零");
  EXPECT_EQ(Shown(1234.56, "[DBNum2]0.00"), "壹仟贰佰叁拾肆点伍陆");
  EXPECT_EQ(Shown(-5, "[DBNum2]0"), "负伍");
  EXPECT_EQ(Shown(1234.5, "[DBNum3]General"), "１２３４．５");
  // Chinese versions write General in Chinese.
  EXPECT_EQ(Shown(1234.5, "[DBNum2][$-804]G/通用格式"), "壹仟贰佰叁拾肆点伍");
  EXPECT_EQ(Shown(1234.5, "G/通用格式\"元\""), "1234.5元");
  EXPECT_EQ(Shown(39538, "[DBNum1]yyyy\"年\"m\"月\"d\"日\""), "二〇〇八年三月三十一日");
  EXPECT_EQ(Shown(44926, "[DBNum2]yyyy\"年\"m\"月\"d\"日\""), "贰零贰贰年拾贰月叁拾壹日");
}

TEST(NumberFormatBuiltins, ZhCnCodesById) {
  EXPECT_EQ(BuiltinFormatCode(0), "General");
  EXPECT_EQ(BuiltinFormatCode(14), "yyyy/m/d");
  EXPECT_EQ(BuiltinFormatCode(22), "yyyy/m/d h:mm");
  EXPECT_EQ(BuiltinFormatCode(49), "@");
  for (int id : {23, 24, 25, 26, 59, 163, -1}) EXPECT_EQ(BuiltinFormatCode(id), "") << id;
  // The East Asian ids show Chinese dates and times.
  const std::pair<int, const char*> kShown[] = {
      {27, "2008年3月"},       {28, "3月31日"},      {30, "3-31-08"},       {31, "2008年3月31日"},
      {32, "18时00分"},        {33, "18时00分00秒"}, {34, "下午6时00分"},   {35, "下午6时00分00秒"},
      {36, "2008年3月"},       {50, "2008年3月"},    {51, "3月31日"},       {55, "下午6时00分"},
      {56, "下午6时00分00秒"}, {57, "2008年3月"},    {58, "3月31日"},       {14, "2008/3/31"},
      {5, "￥39,539"},         {8, "￥39,538.75"},   {44, " ￥39,538.75 "}, {47, "00:00.0"},
  };
  for (const auto& [id, text] : kShown)
    EXPECT_EQ(Shown(39538.75, BuiltinFormatCode(id)), text) << id;
  EXPECT_EQ(Shown(-5, BuiltinFormatCode(8)), "￥-5.00");
  ASSERT_TRUE(FormatValue(Variant::Number(-5), BuiltinFormatCode(8), false).color);
}

TEST(NumberFormatPieces, FillAndPaddingForTheRenderer) {
  ShownValue lead = FormatValue(Variant::Number(12.5), "*-#,##0.00", false);
  ASSERT_EQ(lead.pieces.size(), 2u);
  EXPECT_EQ(lead.pieces[0], (ShownPiece{ShownPiece::Kind::Fill, "-"}));
  EXPECT_EQ(lead.pieces[1].text, "12.50");
  EXPECT_EQ(lead.text, "12.50");
  // One fill at most: the first one counts.
  ShownValue two = FormatValue(Variant::Number(1), "*x0*y", false);
  int fills = 0;
  for (const ShownPiece& p : two.pieces) fills += p.kind == ShownPiece::Kind::Fill;
  EXPECT_EQ(fills, 1);
  EXPECT_EQ(two.pieces[0].text, "x");
  ShownValue pad = FormatValue(Variant::Number(-3), "0_);(0)", false);
  EXPECT_EQ(pad.text, "(3)");
  ShownValue padded = FormatValue(Variant::Number(3), "0_);(0)", false);
  ASSERT_EQ(padded.pieces.size(), 2u);
  EXPECT_EQ(padded.pieces[1], (ShownPiece{ShownPiece::Kind::Pad, ")"}));
  EXPECT_EQ(padded.text, "3 ");
  ShownValue cjk = FormatValue(Variant::Number(3), "0_元", false);
  EXPECT_EQ(cjk.pieces[1], (ShownPiece{ShownPiece::Kind::Pad, "元"}));
}

TEST(NumberFormatValues, TextsBooleansErrorsAndColours) {
  EXPECT_EQ(FormatValue(Variant::Boolean(true), "0.00", false).text, "TRUE");
  EXPECT_EQ(FormatValue(Variant::Error(CellError::Div0), "0.00", false).text, "#DIV/0!");
  EXPECT_FALSE(FormatValue(Variant::String("x"), "0", false).numeric);
  EXPECT_EQ(FormatValue(Variant(), "0.00", false).text, "");
  EXPECT_EQ(Shown(1.5, ""), "1.5");
  ShownValue c10 = FormatValue(Variant::Number(1), "[Color10]0", false);
  ASSERT_TRUE(c10.color);
  EXPECT_EQ(c10.color->rgb, 0x008000u);
  ShownValue blue = FormatValue(Variant::String("t"), "0;0;0;[Blue]@", false);
  ASSERT_TRUE(blue.color);
  EXPECT_EQ(blue.color->rgb, 0x0000FFu);
  EXPECT_EQ(Shown(1, "[Color99]0"), "1");  // an unknown colour is ignored
}

TEST(NumberFormatParse, UnreadableCodesNeverFailAndKeepTheirTextConsistent) {
  for (const char* code : {"\"abc", "[Red", "\\", "0_", "0*", "0;1;2;3;4;5", ";;;", "[>=]0",
                           "[$-xyz]0", "0.0.0", "E+", "#/", "/#", "[h", "yyyy\"", "\xff\xfe"}) {
    for (double v : {0.0, -1.5, 39538.75}) {
      ShownValue s = FormatValue(Variant::Number(v), code, false);
      EXPECT_TRUE(s.numeric) << code;
    }
    EXPECT_NO_THROW(FormatValue(Variant::String("t"), code, false)) << code;
  }
  // Random codes made of format characters: the text is always the pieces joined.
  std::mt19937 rng(20261209);
  const std::string alphabet = "0#?.,%E+-/@\"\\_*[]<>=$;:hmsdyAMP/ GeneralDBNum1Red红";
  for (int n = 0; n < 3000; ++n) {
    std::string code;
    int len = static_cast<int>(rng() % 16);
    for (int k = 0; k < len; ++k) code += alphabet[rng() % alphabet.size()];
    for (double v : {0.0, -1234.5678, 0.001, 39538.75, 1e300}) {
      ShownValue s = NumberFormat(code).Format(Variant::Number(v), n % 2 == 0);
      if (s.text == "#") continue;
      std::string joined;
      for (const ShownPiece& p : s.pieces)
        if (p.kind == ShownPiece::Kind::Text)
          joined += p.text;
        else if (p.kind == ShownPiece::Kind::Pad)
          joined += PadSpaces(p.text);
      ASSERT_EQ(s.text, joined) << "code [" << code << "] value " << v;
    }
  }
}

// A locale tag names the language of month and weekday names; Czech and Polish months go into
// the genitive after a day of the month. 39538 is Monday 31 March 2008.
TEST(NumberFormatLocale, MonthAndWeekdayNamesOfTheTaggedLanguage) {
  EXPECT_EQ(Shown(39538, "[$-407]dddd, d. mmmm yyyy"), "Montag, 31. März 2008");
  EXPECT_EQ(Shown(44926, "[$-40C]d-mmm-yy"), "31-déc.-22");
  EXPECT_EQ(Shown(39538, "[$-340A]dddd dd \"de\" mmmm"), "lunes 31 de marzo");
  EXPECT_EQ(Shown(39538, "[$-405]d. mmmm yyyy"), "31. března 2008");
  EXPECT_EQ(Shown(39538, "[$-405]mmmm yyyy"), "březen 2008");
  EXPECT_EQ(Shown(39538, "[$-415]d mmmm"), "31 marca");
  EXPECT_EQ(Shown(39538, "[$-415]mmmm"), "marzec");
  EXPECT_EQ(Shown(39538, "[$-418]mmmmm"), "m");
  EXPECT_EQ(Shown(39538, "[$-409]dddd mmm"), "Monday Mar");
  EXPECT_EQ(Shown(39538, "[$-804]mmmm"), "三月");
  // A language without names of its own here takes the English ones.
  EXPECT_EQ(Shown(39538, "[$-413]mmmm"), "March");
}

// The text placeholder makes a section for text, date letters in it standing for themselves;
// numbers then show as General.
TEST(NumberFormatText, DateLettersBesideTheTextPlaceholderAreText) {
  EXPECT_EQ(FormatValue(Variant::String("x"), "@ AM/PM", false).text, "x AM/PM");
  EXPECT_EQ(Shown(2.5, "@ AM/PM"), "2.5");
}

// [ColorN] is the default palette's index N + 7, the table the readers use too.
TEST(NumberFormatValues, NumberedColoursFromTheDefaultPalette) {
  EXPECT_EQ(FormatValue(Variant::Number(1), "[Color10]0", false).color,
            engine::ColorRef::Rgb(0x008000));
  EXPECT_EQ(FormatValue(Variant::Number(1), "[Color56]0", false).color,
            engine::ColorRef::Rgb(0x333333));
  EXPECT_EQ(FormatValue(Variant::Number(1), "[Color57]0", false).color, std::nullopt);
}

}  // namespace
}  // namespace ledgerix::print
