#include "print/numfmt.h"

#include <gtest/gtest.h>

namespace ledgerix::print {
namespace {

std::string Shown(double v, std::string_view code, bool date1904 = false) {
  return FormatValue(Variant::Number(v), code, date1904).text;
}
std::string ShownText(std::string s, std::string_view code) {
  return FormatValue(Variant::String(std::move(s)), code, false).text;
}

TEST(NumberFormatGeneral, FifteenDigitsThenElevenCharacters) {
  EXPECT_EQ(Shown(0.1 + 0.2, "General"), "0.3");
  EXPECT_EQ(Shown(0, "General"), "0");
  EXPECT_EQ(Shown(-1234567.891, "General"), "-1234567.891");
  EXPECT_EQ(Shown(1234567.8912, "General"), "1234567.891");
  EXPECT_EQ(Shown(12345678901, "General"), "12345678901");
  EXPECT_EQ(Shown(123456789012, "General"), "1.23457E+11");
  EXPECT_EQ(Shown(1e17, "General"), "1E+17");
  EXPECT_EQ(Shown(1e-10, "General"), "1E-10");
  EXPECT_EQ(Shown(0.0001, "General"), "0.0001");
  EXPECT_EQ(Shown(0.00001, "General"), "1E-05");
  EXPECT_EQ(Shown(0.123456789012, "General"), "0.123456789");
  EXPECT_EQ(Shown(99999999999.9, "General"), "1E+11");
  EXPECT_EQ(Shown(-0.5, "GENERAL"), "-0.5");
}

TEST(NumberFormatDigits, RoundingAfterFifteenSignificantDigits) {
  EXPECT_EQ(Shown(1.005, "0.00"), "1.01");
  EXPECT_EQ(Shown(2.675, "0.00"), "2.68");
  EXPECT_EQ(Shown(-1.005, "0.00"), "-1.01");
  EXPECT_EQ(Shown(0.5, "0"), "1");
  EXPECT_EQ(Shown(2.5, "0"), "3");
  EXPECT_EQ(Shown(1234567.891, "#,##0.00"), "1,234,567.89");
  EXPECT_EQ(Shown(0, "#,##0.00"), "0.00");
  EXPECT_EQ(Shown(5, "0,000"), "0,005");
  EXPECT_EQ(Shown(0.5, "#.##"), ".5");
  EXPECT_EQ(Shown(12.5, ".00"), "12.50");
  EXPECT_EQ(Shown(1, "0.0#"), "1.0");
  EXPECT_EQ(Shown(3.1, "0.0?"), "3.1 ");
  EXPECT_EQ(Shown(7, "00000"), "00007");
  EXPECT_EQ(Shown(1234567, "#,##0,"), "1,235");
  EXPECT_EQ(Shown(1234567, "0.0,,"), "1.2");
  EXPECT_EQ(Shown(0.25, "0.0%"), "25.0%");
}

TEST(NumberFormatSections, SignsColoursAndConditions) {
  EXPECT_EQ(Shown(-42.125, "#,##0.00_);(#,##0.00)"), "(42.13)");
  EXPECT_EQ(Shown(42.125, "#,##0.00_);(#,##0.00)"), "42.13 ");
  EXPECT_EQ(Shown(-5, "\"$\"#,##0.00"), "-$5.00");
  EXPECT_EQ(Shown(-5, "[$￥-804]#,##0.00;[$￥-804]-#,##0.00"), "￥-5.00");
  EXPECT_EQ(Shown(0, "0;-0;\"zero\""), "zero");
  EXPECT_EQ(Shown(0, "0;-0;;@"), "");
  ShownValue red = FormatValue(Variant::Number(-1), "0;[Red]-0", false);
  ASSERT_TRUE(red.color.has_value());
  EXPECT_EQ(red.color->rgb, 0xFF0000u);
  EXPECT_EQ(red.text, "-1");
  EXPECT_FALSE(FormatValue(Variant::Number(1), "0;[Red]-0", false).color.has_value());
  EXPECT_EQ(Shown(150, "[>=100]\"big\";[<0]\"neg\";0"), "big");
  EXPECT_EQ(Shown(-3, "[>=100]\"big\";[<0]\"neg\";0"), "neg");
  EXPECT_EQ(Shown(5, "[>=100]\"big\";[<0]\"neg\";0"), "5");
  EXPECT_EQ(Shown(1, "\"On\";\"On\";\"Off\""), "On");
  EXPECT_EQ(Shown(0, "\"On\";\"On\";\"Off\""), "Off");
}

TEST(NumberFormatText, TextSectionAndPieces) {
  EXPECT_EQ(ShownText("abc", "0;-0;0;\"<\"@\">\""), "<abc>");
  EXPECT_EQ(ShownText("abc", "0.00"), "abc");
  EXPECT_EQ(Shown(12, "@"), "12");
  ShownValue acc = FormatValue(Variant::Number(1234.5),
                               "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ", false);
  ASSERT_EQ(acc.pieces.size(), 4u);
  EXPECT_EQ(acc.pieces[0].kind, ShownPiece::Kind::Pad);
  EXPECT_EQ(acc.pieces[1].kind, ShownPiece::Kind::Fill);
  EXPECT_EQ(acc.pieces[1].text, " ");
  EXPECT_EQ(acc.pieces[2].text, "1,234.50");
  EXPECT_EQ(acc.text, " 1,234.50 ");
  EXPECT_TRUE(acc.numeric);
}

}  // namespace
}  // namespace ledgerix::print
