// Header and footer codes: sections, fields, and the font codes that style the runs after them.
#include "print/header_footer.h"

#include <gtest/gtest.h>

namespace ledgerix::print {
namespace {

engine::FontStyle Base() {
  engine::FontStyle f;
  f.name = "宋体";
  f.size_pt = 10;
  return f;
}

HeaderFooterContext Context() {
  HeaderFooterContext c;
  c.page = 3;
  c.pages = 12;
  c.date = "2008/3/31";
  c.time = "9:05";
  c.file = "报表.xls";
  c.sheet = "利润表";
  c.folder = "/data/";
  return c;
}

TEST(HeaderFooterCodes, SectionsAndFields) {
  auto s = ParseHeaderFooter("&L&F / &A&C第&P页，共&N页&R&D &T &Z", Context(), Base());
  EXPECT_EQ(SectionText(s.left), "报表.xls / 利润表");
  EXPECT_EQ(SectionText(s.center), "第3页，共12页");
  EXPECT_EQ(SectionText(s.right), "2008/3/31 9:05 /data/");
  // Text before any section code is centred; xlwt's defaults are a bare "&P" and "&F".
  EXPECT_EQ(SectionText(ParseHeaderFooter("&P", Context(), Base()).center), "3");
  EXPECT_EQ(SectionText(ParseHeaderFooter("&F", Context(), Base()).center), "报表.xls");
  EXPECT_TRUE(ParseHeaderFooter("", Context(), Base()).empty());
  // Page offsets, a literal ampersand, lower-case codes, pictures and unknown codes.
  EXPECT_EQ(SectionText(ParseHeaderFooter("&P+10|&P-2|&&|&p|&G&Q|x&", Context(), Base()).center),
            "13|1|&|3||x");
}

// &G marks where the section's picture goes, between the text around it; a section has one
// picture, so a second &G in it is dropped, and text after the picture is a run of its own.
TEST(HeaderFooterCodes, PicturesAreOneMarkedRunPerSection) {
  auto s = ParseHeaderFooter("&L甲&G乙&G丙&C&G&R&G", Context(), Base());
  ASSERT_EQ(s.left.size(), 3u);
  EXPECT_EQ(s.left[0].text, "甲");
  EXPECT_TRUE(s.left[1].picture);
  EXPECT_EQ(s.left[1].text, "");
  EXPECT_FALSE(s.left[2].picture);
  EXPECT_EQ(s.left[2].text, "乙丙");
  ASSERT_EQ(s.center.size(), 1u);
  EXPECT_TRUE(s.center[0].picture);
  ASSERT_EQ(s.right.size(), 1u);
  EXPECT_TRUE(s.right[0].picture);
  EXPECT_EQ(SectionText(s.left), "甲乙丙");
}

TEST(HeaderFooterCodes, FontsSizesStylesAndColours) {
  auto s = ParseHeaderFooter("&C&\"黑体,加粗\"&14标题&B&I细&\"-,Regular\"&KFF0000红&S删&U下",
                             Context(), Base());
  ASSERT_EQ(s.center.size(), 5u);
  EXPECT_EQ(s.center[0].text, "标题");
  EXPECT_EQ(s.center[0].font.name, "黑体");
  EXPECT_TRUE(s.center[0].font.bold);
  EXPECT_DOUBLE_EQ(s.center[0].font.size_pt, 14);
  EXPECT_EQ(s.center[1].text, "细");  // &B toggles bold off, &I turns italic on
  EXPECT_FALSE(s.center[1].font.bold);
  EXPECT_TRUE(s.center[1].font.italic);
  EXPECT_EQ(s.center[2].text, "红");  // "-" keeps the family; Regular clears bold and italic
  EXPECT_EQ(s.center[2].font.name, "黑体");
  EXPECT_FALSE(s.center[2].font.italic);
  EXPECT_EQ(s.center[2].font.color, engine::ColorRef::Rgb(0xFF0000));
  EXPECT_TRUE(s.center[3].font.strike);
  EXPECT_EQ(s.center[4].font.underline, engine::Underline::Single);
  // A new section starts from the base font again.
  auto r = ParseHeaderFooter("&L&B&20甲&R乙", Context(), Base());
  EXPECT_TRUE(r.left.at(0).font.bold);
  EXPECT_FALSE(r.right.at(0).font.bold);
  EXPECT_DOUBLE_EQ(r.right.at(0).font.size_pt, 10);
  // Sizes out of range and colours that are not hex change nothing.
  auto bad = ParseHeaderFooter("&999大&KZZ0000色", Context(), Base());
  EXPECT_DOUBLE_EQ(bad.center.at(0).font.size_pt, 10);
  EXPECT_TRUE(bad.center.back().font.color.automatic);
}

}  // namespace
}  // namespace ledgerix::print
