// How .xls sheets look and print, over workbook streams built record by record: the page setup
// records and what "absent" means, records that belong to custom views and embedded charts,
// cell formats resolved from FONT/FORMAT/XF/PALETTE, per-cell format indexes, print names, and
// damaged cosmetic records that must be passed over without failing the workbook.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/book.h"
#include "tests/engine/biff_test_builder.h"

namespace ledgerix::engine {
namespace {

using namespace testing;

std::unique_ptr<Book> Open(const std::string& stream) {
  return OpenBookFromMemory("t.xls", stream);
}

std::string OneSheet(const std::string& body, const std::string& globals = "",
                     const std::string& after = "") {
  return Workbook({{"Sheet1", 0, 0, body}}, globals, after);
}

std::string SetupRecord(unsigned paper, unsigned scale, int start, unsigned fit_w, unsigned fit_h,
                        unsigned grbit, double header = 0.3, double footer = 0.4,
                        unsigned copies = 1) {
  return Rec(0x00A1, U16(paper) + U16(scale) + U16(static_cast<unsigned>(start) & 0xFFFF) +
                         U16(fit_w) + U16(fit_h) + U16(grbit) + U16(600) + U16(600) + F64(header) +
                         F64(footer) + U16(copies));
}
std::string Margin(unsigned id, double inches) { return Rec(id, F64(inches)); }
std::string Flag(unsigned id, unsigned v) { return Rec(id, U16(v)); }

// BIFF8 XF: font, format, flags, alignment bytes, borders, fill.
std::string Xf(unsigned font, unsigned fmt, unsigned flags = 0x0001, unsigned align = 0x20,
               unsigned rotation = 0, unsigned indent = 0, std::uint32_t border1 = 0,
               std::uint32_t border2 = 0, unsigned fill = 0x20C0) {
  return Rec(0x00E0, U16(font) + U16(fmt) + U16(flags) + U8(align) + U8(rotation) + U8(indent) +
                         U8(0xF8) + U32(border1) + U32(border2) + U16(fill));
}
std::string Font(unsigned twips, unsigned weight, const std::string& name, unsigned color = 0x7FFF,
                 unsigned grbit = 0, unsigned underline = 0) {
  return Rec(0x0031, U16(twips) + U16(grbit) + U16(color) + U16(weight) + U16(0) + U8(underline) +
                         U8(0) + U8(134) + U8(0) + U8(static_cast<unsigned>(name.size())) + U8(0) +
                         name);
}
// 21 XFs, as every real workbook has: 0-14 styles, 15 the default cell format, then extra ones.
std::string Xfs(const std::string& extra) {
  std::string out;
  for (int i = 0; i < 15; ++i) out += Xf(0, 0, 0xFFF5);
  out += Xf(0, 0);
  return out + extra;
}

TEST(XlsLayout, PageSetupRecordsAsStored) {
  std::string body =
      SetupRecord(8, 75, 3, 1, 0, 0x0081 /* over then down, use start */, 0.3, 0.4, 2) +
      Margin(0x26, 0.5) + Margin(0x27, 0.6) + Margin(0x28, 1.2) + Margin(0x29, 0.9) +
      Flag(0x83, 1) + Flag(0x84, 0) + Flag(0x2B, 1) + Flag(0x2A, 1) +
      Rec(0x0081, U8(0xC1) + U8(0x01));  // WSBOOL fFitToPage
  auto book = Open(OneSheet(body));
  const PageSetup& p = book->Layout(0).page;
  EXPECT_EQ(p.paper, 8);
  EXPECT_EQ(p.scale, 75);
  EXPECT_EQ(p.orientation, Orientation::Landscape);  // fPortrait clear, fNoOrient clear
  EXPECT_EQ(p.page_order, PageOrder::OverThenDown);
  EXPECT_EQ(p.first_page_number, 3);
  EXPECT_EQ(p.copies, 2);
  EXPECT_TRUE(p.fit_to_page);
  EXPECT_EQ(p.fit_width, 1);
  EXPECT_EQ(p.fit_height, 0);
  EXPECT_EQ(p.margins.left, 0.5);
  EXPECT_EQ(p.margins.right, 0.6);
  EXPECT_EQ(p.margins.top, 1.2);
  EXPECT_EQ(p.margins.bottom, 0.9);
  EXPECT_EQ(p.margins.header, 0.3);
  EXPECT_EQ(p.margins.footer, 0.4);
  EXPECT_TRUE(p.center_horizontally);
  EXPECT_FALSE(p.center_vertically);
  EXPECT_TRUE(p.print_gridlines);
  EXPECT_TRUE(p.print_headings);
}

TEST(XlsLayout, WhatTheFileDoesNotStateStaysAbsent) {
  // No setup records at all: every optional field stays unset for the printer's defaults.
  auto bare = Open(OneSheet(Number(0, 0, 1)));
  const SheetLayout& l = bare->Layout(0);
  EXPECT_FALSE(l.page.paper);
  EXPECT_FALSE(l.page.scale);
  EXPECT_FALSE(l.page.margins.left || l.page.margins.top || l.page.margins.header);
  EXPECT_FALSE(l.page.first_page_number);
  EXPECT_EQ(l.page.orientation, Orientation::Default);
  EXPECT_FALSE(l.page.fit_to_page);
  EXPECT_TRUE(l.print_area.empty());
  EXPECT_FALSE(l.title_rows);

  // fNoPls: paper, scale, orientation and copies are undefined and must not be taken, while
  // the fields outside the printer settings still count; without fUsePage there is no first
  // page number.
  auto no_printer =
      Open(OneSheet(SetupRecord(9, 55, 7, 2, 3, 0x0004 | 0x0002 | 0x0008, 0.2, 0.2, 4)));
  const PageSetup& p = no_printer->Layout(0).page;
  EXPECT_FALSE(p.paper);
  EXPECT_FALSE(p.scale);
  EXPECT_FALSE(p.copies);
  EXPECT_EQ(p.orientation, Orientation::Default);
  EXPECT_FALSE(p.first_page_number);
  EXPECT_EQ(p.fit_width, 2);
  EXPECT_EQ(p.fit_height, 3);
  EXPECT_TRUE(p.black_and_white);
  EXPECT_EQ(p.margins.header, 0.2);

  // fNoOrient: the orientation bit is not used.
  auto no_orient = Open(OneSheet(SetupRecord(9, 100, 1, 1, 1, 0x0040)));
  EXPECT_EQ(no_orient->Layout(0).page.orientation, Orientation::Default);
  EXPECT_EQ(no_orient->Layout(0).page.paper, 9);
}

TEST(XlsLayout, CustomViewsAndEmbeddedChartsKeepTheirOwnSetups) {
  std::string chart = Bof8(0x20) + SetupRecord(1, 50, 1, 1, 1, 0x0002) + Margin(0x26, 3.0) + Eof();
  std::string view = Rec(0x01AA, std::string(16, '\x01') + U32(0)) +
                     SetupRecord(5, 40, 1, 1, 1, 0) + Margin(0x26, 2.0) +
                     Rec(0x0014, Str8("view header")) + Rec(0x01AB, U16(1));
  std::string body = SetupRecord(9, 90, 1, 1, 1, 0x0002) + Margin(0x26, 0.7) + chart + view +
                     Rec(0x0014, Str8("&Csheet"));
  auto book = Open(OneSheet(body));
  const SheetLayout& l = book->Layout(0);
  EXPECT_EQ(l.page.paper, 9);
  EXPECT_EQ(l.page.scale, 90);
  EXPECT_EQ(l.page.orientation, Orientation::Portrait);
  EXPECT_EQ(l.page.margins.left, 0.7);
  EXPECT_EQ(l.header_footer.odd_header, "&Csheet");
}

TEST(XlsLayout, HeadersFootersInBothVersions) {
  std::string hf = Rec(0x089C, U16(0x089C) + U16(0) + std::string(8, '\0') + std::string(16, '\0') +
                                   U16(0x0003) + U16(4) + U16(0) + U16(2) + U16(2) + Str8("&Pev") +
                                   Str16(u"首页") + Str8("&F"));
  auto book = Open(OneSheet(Rec(0x0014, Str16(u"&C第&P页")) + Rec(0x0015, "") + hf));
  const HeaderFooter& h = book->Layout(0).header_footer;
  EXPECT_EQ(h.odd_header, "&C第&P页");
  EXPECT_EQ(h.odd_footer, "");  // an empty FOOTER record: no footer
  EXPECT_TRUE(h.different_odd_even);
  EXPECT_TRUE(h.different_first);
  EXPECT_FALSE(h.scale_with_doc);
  EXPECT_FALSE(h.align_with_margins);
  EXPECT_EQ(h.even_header, "&Pev");
  EXPECT_EQ(h.even_footer, "");
  EXPECT_EQ(h.first_header, "首页");
  EXPECT_EQ(h.first_footer, "&F");

  // BIFF5: a byte string in the workbook's code page (GBK without a CODEPAGE record).
  std::string gbk_page = "\xB5\xDA&P\xD2\xB3";  // 第&P页
  std::string biff5 = Workbook({{"S", 0, 0, Rec(0x0014, U8(6) + gbk_page)}}, "", "", true);
  EXPECT_EQ(Open(biff5)->Layout(0).header_footer.odd_header, "第&P页");
}

TEST(XlsLayout, WidthsHeightsMergesAndBreaks) {
  std::string body =
      Rec(0x0055, U16(8)) + Rec(0x0099, U16(2340)) +
      Rec(0x007D, U16(3) + U16(4) + U16(5120) + U16(16) + U16(0x0001) + U16(0)) +
      Rec(0x007D, U16(0) + U16(1) + U16(2560) + U16(15) + U16(0) + U16(0)) +
      Rec(0x007D, U16(4) + U16(6) + U16(1000) + U16(15) + U16(0) + U16(0)) +  // overlaps: dropped
      Rec(0x007D, U16(10) + U16(256) + U16(3000) + U16(15) + U16(0) + U16(0)) +
      Rec(0x007D, U16(8) + U16(8) + U16(0) + U16(15) + U16(0) + U16(0)) +  // width 0: hidden
      Rec(0x0225, U16(0x0000) + U16(300)) +
      // rows: 2 custom 30pt with row format XF 17; 5 hidden; 7 with the default-height bit
      Rec(0x0208, U16(2) + U16(0) + U16(3) + U16(600) + U16(0) + U16(0) + U32(0x001101C0)) +
      Rec(0x0208, U16(5) + U16(0) + U16(3) + U16(255) + U16(0) + U16(0) + U32(0x00000020)) +
      Rec(0x0208, U16(7) + U16(0) + U16(3) + U16(0x8000 | 255) + U16(0) + U16(0) + U32(0)) +
      Rec(0x00E5, U16(3) + U16(0) + U16(0) + U16(0) + U16(3) + U16(2) + U16(4) + U16(1) + U16(2) +
                      U16(6) + U16(6) + U16(6) + U16(6)) +  // the last one is a single cell
      Rec(0x00E5, U16(1) + U16(9) + U16(10) + U16(0) + U16(0)) +
      Rec(0x001B, U16(3) + U16(20) + U16(0) + U16(255) + U16(10) + U16(0) + U16(255) + U16(10) +
                      U16(0) + U16(255)) +
      Rec(0x001A, U16(1) + U16(4) + U16(0) + U16(65535)) + Rec(0x023E, U16(0x06B4));
  auto book = Open(OneSheet(body));
  const SheetLayout& l = book->Layout(0);
  EXPECT_EQ(l.base_col_width, 8);
  EXPECT_EQ(l.default_col_width, 2340 / 256.0);
  ASSERT_EQ(l.columns.size(), 4u);
  EXPECT_TRUE(l.ColumnHidden(8));
  EXPECT_EQ(l.StoredWidth(0), 10.0);
  EXPECT_EQ(l.StoredWidth(2), std::nullopt);
  EXPECT_EQ(l.StoredWidth(3), 20.0);
  EXPECT_TRUE(l.ColumnHidden(4));
  EXPECT_FALSE(l.ColumnHidden(5));
  EXPECT_EQ(l.columns[3].last, 255u);  // Excel 97's column 256 clamped to the grid
  EXPECT_EQ(l.default_row_height_pt, 15.0);
  EXPECT_EQ(l.rows.at(2).height_pt, 30.0);
  EXPECT_TRUE(l.rows.at(2).custom_height);
  EXPECT_EQ(l.rows.at(2).style, 17u);
  EXPECT_TRUE(l.RowHidden(5));
  EXPECT_FALSE(l.RowHidden(6));
  EXPECT_FALSE(l.rows.at(7).height_pt);  // default height, whatever the low bits say
  ASSERT_EQ(l.merges.size(), 3u);
  EXPECT_EQ(l.merges[0], (CellRange{0, 0, 0, 3}));
  EXPECT_EQ(l.merges[1], (CellRange{2, 1, 4, 2}));
  EXPECT_EQ(l.merges[2], (CellRange{9, 0, 10, 0}));
  EXPECT_EQ(l.row_breaks, (std::vector<std::uint32_t>{10, 20}));  // sorted, duplicates gone
  EXPECT_EQ(l.col_breaks, (std::vector<std::uint32_t>{4}));
  EXPECT_FALSE(l.show_gridlines);  // WINDOW2 without fDspGrid

  // BIFF5 breaks are bare row and column numbers.
  std::string biff5 =
      Workbook({{"S", 0, 0, Rec(0x001B, U16(2) + U16(12) + U16(30))}}, "", "", true);
  EXPECT_EQ(Open(biff5)->Layout(0).row_breaks, (std::vector<std::uint32_t>{12, 30}));
}

TEST(XlsLayout, EveryCellKeepsItsFormatIndexBlanksIncluded) {
  std::string body =
      Rec(0x0208, U16(4) + U16(0) + U16(3) + U16(255) + U16(0) + U16(0) + U32(0x00140180)) +
      Rec(0x007D, U16(5) + U16(5) + U16(2560) + U16(18) + U16(0) + U16(0)) +
      Rec(0x0201, U16(0) + U16(0) + U16(16)) +                                       // BLANK
      Rec(0x00BE, U16(1) + U16(2) + U16(17) + U16(18) + U16(19) + U16(4)) +          // MULBLANK
      Rec(0x00BD, U16(2) + U16(0) + U16(16) + U32(2) + U16(17) + U32(6) + U16(1)) +  // MULRK
      Rec(0x0203, U16(3) + U16(3) + U16(20) + F64(1.5)) +
      Rec(0x0006, U16(3) + U16(4) + U16(19) + std::string(8, '\0') + U16(0) + U32(0) + U16(0));
  auto book = Open(OneSheet(body));
  const SheetLayout& l = book->Layout(0);
  EXPECT_EQ(l.StyleOf(0, 0), 16u);
  EXPECT_EQ(l.StyleOf(1, 2), 17u);
  EXPECT_EQ(l.StyleOf(1, 3), 18u);
  EXPECT_EQ(l.StyleOf(1, 4), 19u);
  EXPECT_EQ(l.StyleOf(2, 0), 16u);
  EXPECT_EQ(l.StyleOf(2, 1), 17u);
  EXPECT_EQ(l.StyleOf(3, 3), 20u);
  EXPECT_EQ(l.StyleOf(3, 4), 19u);
  EXPECT_EQ(l.StyleOf(4, 0), 20u);       // the row's format (fGhostDirty)
  EXPECT_EQ(l.StyleOf(9, 5), 18u);       // the column's
  EXPECT_EQ(l.StyleOf(9, 9), 15u);       // BIFF's default cell format
  EXPECT_EQ(book->Cells(0).size(), 4u);  // reading formats does not disturb the values
}

TEST(XlsLayout, CellFormatsResolvedFromFontsFormatsAndPalette) {
  std::string palette = Rec(
      0x0092, U16(56) + [] {
        std::string colors;
        for (int i = 0; i < 56; ++i) colors += i == 2 ? U32(0x00563412) : U32(0);  // index 10
        return colors;
      }());
  std::string fonts = Font(200, 400, "Arial") + Font(240, 700, "Bold") + Font(200, 400, "F2") +
                      Font(200, 400, "F3") + Font(280, 400, "Fifth", 10, 0x000A, 0x22);
  std::string formats = Rec(0x041E, U16(164) + Str8("#,##0.00_ ")) +
                        Rec(0x041E, U16(14) + Str16(u"yyyy\"年\"m\"月\"d\"日\""));
  // XF 16: font record 4 (index 5), format 164, centred + wrap + centre vertically, rotation
  // 45, indent 2 + shrink; thin left (colour 10), thick bottom (colour 8), solid fill of
  // colour 10 on automatic background. XF 17: a font index past the table, format 14.
  std::uint32_t border1 = 0x1 | (0x5u << 12) | (10u << 16) | 0x80000000u;
  std::uint32_t border2 = (8u << 7) | (1u << 26);
  std::string xfs = Xfs(Xf(5, 164, 0x0001, 0x1A, 45, 0x12, border1, border2, 10 | (65u << 7)) +
                        Xf(99, 14) + Xf(1, 0));
  auto book = Open(OneSheet(Number(0, 0, 1), fonts + formats + palette + xfs));
  const StyleTable& t = book->Styles();
  ASSERT_EQ(t.styles.size(), 19u);
  EXPECT_EQ(t.normal_font.name, "Arial");
  const CellStyle& s = t.Get(16);
  EXPECT_EQ(s.font.name, "Fifth");
  EXPECT_EQ(s.font.size_pt, 14);
  EXPECT_TRUE(s.font.italic);
  EXPECT_TRUE(s.font.strike);
  EXPECT_EQ(s.font.underline, Underline::DoubleAccounting);
  EXPECT_EQ(s.font.color, ColorRef::Rgb(0x123456));  // PALETTE replaces index 10
  EXPECT_EQ(s.num_fmt_id, 164);
  EXPECT_EQ(s.num_fmt_code, "#,##0.00_ ");
  EXPECT_EQ(s.halign, HAlign::Center);
  EXPECT_TRUE(s.wrap);
  EXPECT_EQ(s.valign, VAlign::Center);
  EXPECT_EQ(s.rotation, 45);
  EXPECT_EQ(s.indent, 2);
  EXPECT_TRUE(s.shrink);
  EXPECT_EQ(s.left, (BorderLine{BorderStyle::Thin, ColorRef::Rgb(0x123456)}));
  EXPECT_EQ(s.bottom, (BorderLine{BorderStyle::Thick, ColorRef::Rgb(0x000000)}));
  EXPECT_EQ(s.top.style, BorderStyle::None);
  EXPECT_TRUE(s.diagonal_up);
  EXPECT_FALSE(s.diagonal_down);
  EXPECT_EQ(s.fill.pattern, 1);
  EXPECT_EQ(s.fill.foreground, ColorRef::Rgb(0x123456));
  EXPECT_TRUE(s.fill.background.automatic);
  const CellStyle& dates = t.Get(17);
  EXPECT_EQ(dates.font.name, "Arial");  // a font index past the table falls back to font 0
  EXPECT_EQ(dates.num_fmt_code, "yyyy\"年\"m\"月\"d\"日\"");  // a redefined built-in keeps its code
  EXPECT_EQ(t.Get(18).font.name, "Bold");
  EXPECT_TRUE(t.Get(18).font.bold);
  EXPECT_FALSE(t.Get(15).font.bold);
  EXPECT_EQ(t.Get(500).font.name, "Arial");  // past the table: the first format
}

TEST(XlsLayout, Biff5FormatsAndXfs) {
  std::string fonts =
      Rec(0x0031, U16(240) + U16(0) + U16(0x7FFF) + U16(700) + U16(0) + U8(1) + U8(0) + U8(134) +
                      U8(0) + U8(4) + "\xCB\xCE\xCC\xE5");  // 宋体
  std::string formats = Rec(0x041E, U16(165) + U8(4) + "0.0%");
  // BIFF5 XF: right aligned, rotation code 2 (90 degrees), solid fill of colour 12 with a
  // medium bottom border of colour 10, thin top/left/right.
  std::uint32_t fill = 12 | (65u << 7) | (1u << 16) | (2u << 22) | (10u << 25);
  std::uint32_t border = 1 | (1u << 3) | (1u << 6) | (8u << 9);
  std::string xf = Rec(0x00E0, U16(0) + U16(165) + U16(0x0001) + U8(0x23) + U8(0x02 | 0xF8) +
                                   U32(fill) + U32(border));
  std::string stream = Workbook({{"S", 0, 0, Rec(0x0203, U16(0) + U16(0) + U16(0) + F64(1))}},
                                fonts + formats + xf, "", true);
  auto book = Open(stream);
  ASSERT_EQ(book->format(), "BIFF5");
  const CellStyle& s = book->Styles().Get(0);
  EXPECT_EQ(s.font.name, "宋体");
  EXPECT_TRUE(s.font.bold);
  EXPECT_EQ(s.font.underline, Underline::Single);
  EXPECT_EQ(s.num_fmt_code, "0.0%");
  EXPECT_EQ(s.halign, HAlign::Right);
  EXPECT_EQ(s.valign, VAlign::Bottom);
  EXPECT_EQ(s.rotation, 90);
  EXPECT_EQ(s.fill.pattern, 1);
  EXPECT_EQ(s.fill.foreground, ColorRef::Rgb(0x0000FF));
  EXPECT_EQ(s.bottom, (BorderLine{BorderStyle::Medium, ColorRef::Rgb(0xFF0000)}));
  EXPECT_EQ(s.top, (BorderLine{BorderStyle::Thin, ColorRef::Rgb(0x000000)}));
  EXPECT_EQ(s.left.style, BorderStyle::Thin);
  EXPECT_EQ(s.right.style, BorderStyle::Thin);
  EXPECT_EQ(book->Layout(0).StyleOf(0, 0), 0u);
}

// A built-in NAME: fBuiltin, the code as its one-character name, the sheet as itab.
std::string BuiltinName(unsigned code, unsigned itab, const std::string& rgce) {
  return Rec(0x0018, U16(0x0020) + U8(0) + U8(1) + U16(static_cast<unsigned>(rgce.size())) +
                         U16(0) + U16(itab) + U32(0) + U8(0) + U8(code) + rgce);
}
std::string Area3d(unsigned r1, unsigned r2, unsigned c1, unsigned c2, unsigned ixti = 0) {
  return U8(0x3B) + U16(ixti) + U16(r1) + U16(r2) + U16(c1) + U16(c2);
}
// Two XTI entries: this workbook's first and second sheet.
std::string ExternSheet() {
  return Rec(0x0017, U16(2) + U16(0) + U16(0) + U16(0) + U16(0) + U16(1) + U16(1));
}

TEST(XlsLayout, PrintAreaAndTitlesFromBuiltinNames) {
  std::string area_of_second = BuiltinName(0x06, 2, Area3d(0, 43, 0, 7, 1));
  // Print_Titles: rows 1-3 and column A, a PtgMemFunc list joined by a union.
  std::string list = Area3d(0, 2, 0, 255, 1) + Area3d(0, 65535, 0, 0, 1) + U8(0x10);
  std::string titles =
      BuiltinName(0x07, 2, U8(0x29) + U16(static_cast<unsigned>(list.size())) + list);
  // Two ranges on the first sheet, and one name of a function: left unset.
  std::string two = Area3d(0, 9, 0, 2) + Area3d(0, 9, 4, 6) + U8(0x10);
  std::string area_of_first =
      BuiltinName(0x06, 1, U8(0x29) + U16(static_cast<unsigned>(two.size())) + two);
  std::string titles_of_first = BuiltinName(0x07, 1, U8(0x41) + U16(5));  // PtgFunc
  std::string stream =
      Workbook({{"A", 0, 0, Number(0, 0, 1)}, {"B", 0, 0, Number(0, 0, 1)}}, "",
               ExternSheet() + area_of_second + titles + area_of_first + titles_of_first);
  auto book = Open(stream);
  const SheetLayout& b = book->Layout(1);
  ASSERT_EQ(b.print_area.size(), 1u);
  EXPECT_EQ(b.print_area[0], (CellRange{0, 0, 43, 7}));
  EXPECT_EQ(b.title_rows, std::make_pair(0u, 2u));
  EXPECT_EQ(b.title_cols, std::make_pair(0u, 0u));
  const SheetLayout& a = book->Layout(0);
  ASSERT_EQ(a.print_area.size(), 2u);
  EXPECT_EQ(a.print_area[1], (CellRange{0, 4, 9, 6}));
  EXPECT_FALSE(a.title_rows);
  EXPECT_FALSE(a.title_cols);

  // A name that spells Print_Area without the built-in flag is an ordinary name.
  std::string spelled = Rec(0x0018, U16(0) + U8(0) + U8(10) + U16(11) + U16(0) + U16(1) + U32(0) +
                                        U8(0) + "Print_Area" + Area3d(0, 5, 0, 5));
  auto book3 = Open(Workbook({{"A", 0, 0, Number(0, 0, 1)}}, "", ExternSheet() + spelled));
  EXPECT_TRUE(book3->Layout(0).print_area.empty());

  // A reference through an EXTERNSHEET entry that does not exist (0xFFFF, as some writers
  // leave it) is void: no titles rather than titles of an unknown sheet.
  std::string void_titles = BuiltinName(0x07, 1, Area3d(0, 15, 0, 255, 0xFFFF));
  auto book2 = Open(Workbook({{"A", 0, 0, Number(0, 0, 1)}}, "", ExternSheet() + void_titles));
  EXPECT_FALSE(book2->Layout(0).title_rows);
}

TEST(XlsLayout, DamagedCosmeticRecordsArePassedOver) {
  std::string body = Rec(0x00A1, U16(9) + U16(80)) +  // SETUP cut short
                     Margin(0x26, std::nan("")) +     // not a number
                     Margin(0x27, -1) +               // negative
                     Rec(0x0028, U16(1)) +            // TOPMARGIN too short
                     Margin(0x29, 0.8) +              // a sound one after them
                     Rec(0x00E5, U16(40) + U16(0) + U16(1) + U16(0) + U16(1)) +  // count > payload
                     Rec(0x007D, U16(1)) +                     // COLINFO cut short
                     Rec(0x0014, U16(50) + U8(0) + "short") +  // header text past its record
                     Rec(0x0208, U16(1)) +                     // ROW cut short
                     Rec(0x00BE, U16(0) + U16(0) + U16(15)) +  // MULBLANK without colLast
                     Number(3, 3, 2);
  std::string globals = Rec(0x0031, U16(200)) +  // FONT cut short
                        Font(220, 400, "Second") + Rec(0x00E0, U16(0)) + Xf(1, 0) +
                        Rec(0x0092, U16(56) + U32(0x00FFFFFF)) +  // PALETTE cut short
                        Rec(0x041E, U16(170) + U16(900) + U8(0) + "x");
  std::string stream = OneSheet(body, globals, BuiltinName(0x06, 1, U8(0x3B) + U16(0)));
  auto book = Open(stream);
  const SheetLayout& l = book->Layout(0);
  EXPECT_FALSE(l.page.paper);
  EXPECT_FALSE(l.page.margins.left);
  EXPECT_FALSE(l.page.margins.right);
  EXPECT_FALSE(l.page.margins.top);
  EXPECT_EQ(l.page.margins.bottom, 0.8);
  ASSERT_EQ(l.merges.size(), 1u);
  EXPECT_TRUE(l.columns.empty());
  EXPECT_EQ(l.header_footer.odd_header, "");
  EXPECT_TRUE(l.rows.empty());
  EXPECT_TRUE(l.print_area.empty());
  EXPECT_EQ(l.StyleOf(3, 3), 15u);
  const StyleTable& t = book->Styles();
  ASSERT_EQ(t.styles.size(), 2u);           // a torn XF keeps its number
  EXPECT_EQ(t.Get(1).font.name, "Second");  // the torn FONT kept its place
  EXPECT_EQ(book->Cells(0).Find(3, 3)->number(), 2);
}

}  // namespace
}  // namespace ledgerix::engine
