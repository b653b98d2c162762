// How .xlsx sheets look and print, over packages built in memory: styles.xml with theme and
// indexed colours, the worksheet's cols/rows/cells/merges/page setup elements and what their
// absence means, print names by localSheetId with chart sheets in the tab order, reference
// lists, and damaged parts that must leave the defaults instead of failing the workbook.
#include "engine/xlsx_layout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/book.h"
#include "tests/engine/xlsx_test_package.h"

using namespace ledgerix::engine;
using namespace ledgerix::engine::testing;

namespace {

const char* kNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Worksheet(const std::string& inner) {
  return std::string("<worksheet xmlns=\"") + kNs + "\">" + inner + "</worksheet>";
}

// Sheets "S1", a chart sheet, "S2"; styles and theme parts when given.
Parts Package(const std::string& sheet1, const std::string& sheet2 = Worksheet("<sheetData/>"),
              const std::string& styles = "", const std::string& theme = "",
              const std::string& defined_names = "") {
  std::string rels =
      std::string("<Relationships xmlns=\"http://schemas.openxmlformats.org/") +
      "package/2006/relationships\">" + "<Relationship Id=\"rId1\" Type=\"" + kRel +
      "worksheet\" Target=\"worksheets/sheet1.xml\"/>" + "<Relationship Id=\"rId2\" Type=\"" +
      kRel + "worksheet\" Target=\"worksheets/sheet2.xml\"/>" +
      "<Relationship Id=\"rId3\" Type=\"" + kRel +
      "chartsheet\" Target=\"chartsheets/sheet1.xml\"/>" + "<Relationship Id=\"rId4\" Type=\"" +
      kRel + "styles\" Target=\"styles.xml\"/>" + "<Relationship Id=\"rId5\" Type=\"" + kRel +
      "theme\" Target=\"theme/theme1.xml\"/></Relationships>";
  Parts parts = {
      {"_rels/.rels",
       std::string("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                   "relationships\"><Relationship Id=\"rId1\" Type=\"") +
           kRel + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml",
       std::string("<workbook xmlns=\"") + kNs + "\" xmlns:r=\"" +
           "http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>" +
           "<sheet name=\"S1\" sheetId=\"1\" r:id=\"rId1\"/>" +
           "<sheet name=\"Chart\" sheetId=\"3\" r:id=\"rId3\"/>" +
           "<sheet name=\"S 2\" sheetId=\"2\" r:id=\"rId2\"/></sheets>" + defined_names +
           "</workbook>"},
      {"xl/_rels/workbook.xml.rels", rels},
      {"xl/worksheets/sheet1.xml", sheet1},
      {"xl/worksheets/sheet2.xml", sheet2},
  };
  if (!styles.empty()) parts.push_back({"xl/styles.xml", styles});
  if (!theme.empty()) parts.push_back({"xl/theme/theme1.xml", theme});
  return parts;
}

std::unique_ptr<Book> Open(const Parts& parts) {
  return OpenBookFromMemory("t.xlsx", BuildZip(parts));
}

std::string Styles(const std::string& inner) {
  return std::string("<styleSheet xmlns=\"") + kNs + "\">" + inner + "</styleSheet>";
}

const char* kTheme =
    "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\">"
    "<a:themeElements><a:clrScheme name=\"T\">"
    "<a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
    "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1>"
    "<a:dk2><a:srgbClr val=\"1F497D\"/></a:dk2><a:lt2><a:srgbClr val=\"EEECE1\"/></a:lt2>"
    "<a:accent1><a:srgbClr val=\"4F81BD\"/></a:accent1>"
    "<a:accent2><a:srgbClr val=\"C0504D\"/></a:accent2>"
    "<a:accent3><a:srgbClr val=\"9BBB59\"/></a:accent3>"
    "<a:accent4><a:srgbClr val=\"123456\"/></a:accent4>"
    "<a:accent5><a:srgbClr val=\"4BACC6\"/></a:accent5>"
    "<a:accent6><a:srgbClr val=\"F79646\"/></a:accent6>"
    "<a:hlink><a:srgbClr val=\"0000FF\"/></a:hlink>"
    "<a:folHlink><a:srgbClr val=\"800080\"/></a:folHlink>"
    "</a:clrScheme></a:themeElements></a:theme>";

// Colours the spreadsheet application shows for theme colours with their tints, from its
// colour picker ("Accent 1, Lighter 40%" ...). Lightness is rounded differently there, so one
// unit per channel is allowed.
TEST(XlsxLayoutColors, TintsAsTheApplicationShowsThem) {
  struct Case {
    std::uint32_t base;
    double tint;
    std::uint32_t shown;
  };
  const Case cases[] = {
      {0x4F81BD, 0.3999755851924192, 0x95B3D7}, {0x4F81BD, -0.249977111117893, 0x366092},
      {0x000000, 0.499984740745262, 0x7F7F7F},  {0xEEECE1, -0.499984740745262, 0x948A54},
      {0xC0504D, 0.5999938962981048, 0xE6B9B8}, {0x1F497D, 0.3999755851924192, 0x558ED5},
      {0x9BBB59, -0.499984740745262, 0x4F6228}, {0xFFFFFF, -0.1499984740745262, 0xD9D9D9},
      {0xFFFFFF, -0.249977111117893, 0xBFBFBF}, {0x000000, 0.249977111117893, 0x404040},
      {0xF79646, 0.7999816888943144, 0xFDE9D9},
  };
  for (const Case& c : cases) {
    std::uint32_t got = ApplyTint(c.base, c.tint);
    for (int shift : {16, 8, 0}) {
      int a = static_cast<int>((got >> shift) & 0xFF),
          b = static_cast<int>((c.shown >> shift) & 0xFF);
      EXPECT_LE(std::abs(a - b), 1) << std::hex << c.base << " tint " << c.tint << " gave " << got;
    }
  }
}

TEST(XlsxLayoutStyles, FontsFillsBordersAlignmentAndColours) {
  std::string styles = Styles(
      "<numFmts count=\"1\"><numFmt numFmtId=\"176\" formatCode=\"#,##0.00_x005F_ \"/></numFmts>"
      "<fonts>"
      "<font><sz val=\"11\"/><color theme=\"1\"/><name val=\"Calibri\"/></font>"
      "<font><b/><i val=\"0\"/><u val=\"double\"/><strike/><sz val=\"14\"/>"
      "<color theme=\"4\" tint=\"0.3999755851924192\"/><name val=\"宋体\"/>"
      "<vertAlign val=\"superscript\"/></font>"
      "<font><b val=\"false\"/><u/><color indexed=\"10\"/><sz val=\"9\"/><name "
      "val=\"Arial\"/></font>"
      "<font><color rgb=\"FF00B050\"/><name val=\"Arial\"/></font>"
      "<font><color indexed=\"64\"/><name val=\"Arial\"/></font>"
      "<font><u/></font>"
      "</fonts>"
      "<fills><fill><patternFill patternType=\"none\"/></fill>"
      "<fill><patternFill patternType=\"gray125\"/></fill>"
      "<fill><patternFill patternType=\"solid\"><fgColor theme=\"7\"/><bgColor indexed=\"64\"/>"
      "</patternFill></fill>"
      "<fill><patternFill patternType=\"lightTrellis\"><fgColor rgb=\"FFFF0000\"/></patternFill>"
      "</fill></fills>"
      "<borders><border/><border diagonalDown=\"1\"><start style=\"thin\"><color auto=\"1\"/>"
      "</start><end style=\"mediumDashDot\"><color indexed=\"12\"/></end>"
      "<top style=\"double\"><color rgb=\"FF123456\"/></top><bottom style=\"hair\"/>"
      "<diagonal style=\"thin\"/></border></borders>"
      "<cellStyleXfs><xf fontId=\"3\"/><xf fontId=\"2\"/></cellStyleXfs>"
      "<cellXfs>"
      "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
      "<xf numFmtId=\"176\" fontId=\"1\" fillId=\"2\" borderId=\"1\" xfId=\"0\" applyFont=\"1\">"
      "<alignment horizontal=\"centerContinuous\" vertical=\"center\" wrapText=\"1\" "
      "indent=\"3\" textRotation=\"135\" shrinkToFit=\"true\"/></xf>"
      "<xf numFmtId=\"14\" fontId=\"2\" fillId=\"3\" borderId=\"9\"/>"
      "<xf fontId=\"3\" fillId=\"1\"/><xf fontId=\"4\" fillId=\"x\"/><xf fontId=\"5\"/>"
      "</cellXfs>"
      "<cellStyles><cellStyle name=\"Normal\" xfId=\"1\" builtinId=\"0\"/></cellStyles>"
      "<colors><indexedColors><rgbColor rgb=\"FF000000\"/><rgbColor rgb=\"FFFFFFFF\"/>"
      "<rgbColor rgb=\"FFFF0000\"/><rgbColor rgb=\"FF00FF00\"/><rgbColor rgb=\"FF0000FF\"/>"
      "<rgbColor rgb=\"FFFFFF00\"/><rgbColor rgb=\"FFFF00FF\"/><rgbColor rgb=\"FF00FFFF\"/>"
      "<rgbColor rgb=\"FF000000\"/><rgbColor rgb=\"FFFFFFFF\"/><rgbColor rgb=\"FFABCDEF\"/>"
      "</indexedColors></colors>");
  auto book = Open(Package(Worksheet("<sheetData/>"), Worksheet("<sheetData/>"), styles, kTheme));
  const StyleTable& t = book->Styles();
  ASSERT_EQ(t.styles.size(), 6u);
  EXPECT_EQ(t.normal_font.name, "Arial");  // the Normal style's format names font 2
  EXPECT_EQ(t.normal_font.size_pt, 9);
  EXPECT_EQ(t.Get(0).font.name, "Calibri");
  EXPECT_EQ(t.Get(0).font.color, ColorRef::Rgb(0x000000));  // theme 1 is dk1
  const CellStyle& s = t.Get(1);
  EXPECT_EQ(s.font.name, "宋体");
  EXPECT_TRUE(s.font.bold);
  EXPECT_FALSE(s.font.italic);
  EXPECT_TRUE(s.font.strike);
  EXPECT_EQ(s.font.underline, Underline::Double);
  EXPECT_EQ(s.font.script, Script::Super);
  EXPECT_EQ(s.font.size_pt, 14);
  EXPECT_NEAR(static_cast<double>(s.font.color.rgb >> 16), 0x95, 1);  // accent1 lighter 40%
  EXPECT_EQ(s.num_fmt_id, 176);
  EXPECT_EQ(s.num_fmt_code, "#,##0.00_ ");  // _x005F_ is an escaped underscore
  EXPECT_EQ(s.fill.pattern, 1);
  EXPECT_EQ(s.fill.foreground, ColorRef::Rgb(0x123456));  // theme 7 is accent4
  EXPECT_TRUE(s.fill.background.automatic);
  EXPECT_EQ(s.left, (BorderLine{BorderStyle::Thin, ColorRef::Auto()}));
  EXPECT_EQ(s.right, (BorderLine{BorderStyle::MediumDashDot, ColorRef::Rgb(0x0000FF)}));
  EXPECT_EQ(s.top, (BorderLine{BorderStyle::Double, ColorRef::Rgb(0x123456)}));
  EXPECT_EQ(s.bottom.style, BorderStyle::Hair);
  EXPECT_TRUE(s.diagonal_down);
  EXPECT_FALSE(s.diagonal_up);
  EXPECT_EQ(s.halign, HAlign::CenterAcross);
  EXPECT_EQ(s.valign, VAlign::Center);
  EXPECT_TRUE(s.wrap);
  EXPECT_TRUE(s.shrink);
  EXPECT_EQ(s.indent, 3);
  EXPECT_EQ(s.rotation, 135);
  const CellStyle& d = t.Get(2);
  EXPECT_FALSE(d.font.bold);
  EXPECT_EQ(d.font.underline, Underline::Single);
  EXPECT_EQ(d.font.color, ColorRef::Rgb(0xABCDEF));  // <indexedColors> replaces index 10
  EXPECT_EQ(d.num_fmt_id, 14);
  EXPECT_FALSE(d.num_fmt_code);  // a built-in without a code of its own
  EXPECT_EQ(d.fill.pattern, 16);
  EXPECT_EQ(d.left.style, BorderStyle::None);  // border 9 does not exist
  EXPECT_EQ(d.valign, VAlign::Bottom);
  EXPECT_EQ(t.Get(3).font.color, ColorRef::Rgb(0x00B050));
  EXPECT_EQ(t.Get(3).fill.pattern, 17);
  EXPECT_TRUE(t.Get(4).font.color.automatic);  // indexed 64: the system's text colour
  EXPECT_EQ(t.Get(4).fill.pattern, 0);
  // A font without name or size takes the first font's, not BIFF's Arial 10.
  EXPECT_EQ(t.Get(5).font.name, "Calibri");
  EXPECT_EQ(t.Get(5).font.size_pt, 11);
  EXPECT_EQ(t.Get(5).font.underline, Underline::Single);
}

TEST(XlsxLayoutStyles, WithoutThemeOrStylesTheDefaultsHold) {
  std::string styles = Styles(
      "<fonts><font><color theme=\"4\"/><name val=\"Calibri\"/><sz val=\"11\"/></font></fonts>"
      "<cellXfs><xf fontId=\"0\"/></cellXfs>");
  auto no_theme = Open(Package(Worksheet("<sheetData/>"), Worksheet("<sheetData/>"), styles));
  EXPECT_EQ(no_theme->Styles().Get(0).font.color, ColorRef::Rgb(0x4F81BD));  // Office's accent1
  EXPECT_EQ(no_theme->Styles().normal_font.name, "Calibri");

  auto no_styles = Open(Package(Worksheet("<sheetData/>")));
  EXPECT_TRUE(no_styles->Styles().styles.empty());
  EXPECT_EQ(no_styles->Styles().Get(3).font.name, "Arial");

  // A styles part that is not XML, or a theme part that is not: the defaults, no error.
  auto broken = Open(Package(Worksheet("<sheetData/>"), Worksheet("<sheetData/>"),
                             "<styleSheet><fonts>", "<a:theme"));
  EXPECT_NO_THROW(broken->Styles());
  EXPECT_TRUE(broken->Styles().styles.empty());
  auto broken_theme =
      Open(Package(Worksheet("<sheetData/>"), Worksheet("<sheetData/>"), styles, "<a:theme"));
  EXPECT_EQ(broken_theme->Styles().Get(0).font.color, ColorRef::Rgb(0x4F81BD));
}

TEST(XlsxLayoutSheet, ColumnsRowsCellsAndMerges) {
  std::string sheet = Worksheet(
      "<sheetFormatPr baseColWidth=\"10\" defaultColWidth=\"9.5\" defaultRowHeight=\"14.4\"/>"
      "<cols><col min=\"2\" max=\"3\" width=\"20.5\" customWidth=\"1\" style=\"2\"/>"
      "<col min=\"3\" max=\"4\" width=\"5\"/>"
      "<col min=\"5\" max=\"5\" width=\"0\"/>"
      "<col min=\"6\" max=\"16384\" hidden=\"1\"/><col min=\"0\" max=\"1\" width=\"3\"/></cols>"
      "<sheetData>"
      "<row r=\"1\" ht=\"30\" customHeight=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c><c s=\"3\"/></row>"
      "<row ht=\"12\"><c r=\"B2\"/><c r=\"E2\" s=\"0\"/></row>"
      "<row r=\"5\" hidden=\"1\" s=\"4\" customFormat=\"1\"><c r=\"A5\"/><c r=\"E5\"/></row>"
      "<row r=\"6\" s=\"4\"/><row r=\"x\"/></sheetData>"
      "<mergeCells><mergeCell ref=\"A1:C1\"/><mergeCell ref=\"$B$3:$D$5\"/>"
      "<mergeCell ref=\"A9\"/><mergeCell ref=\"bad\"/></mergeCells>");
  auto book = Open(Package(sheet));
  const SheetLayout& l = book->Layout(0);
  EXPECT_EQ(l.base_col_width, 10);
  EXPECT_EQ(l.default_col_width, 9.5);
  EXPECT_EQ(l.default_row_height_pt, 14.4);
  ASSERT_EQ(l.columns.size(), 3u);  // the overlapping span and the one from column 0 dropped
  EXPECT_TRUE(l.ColumnHidden(4));   // width 0 hides a column
  EXPECT_EQ(l.StoredWidth(1), 20.5);
  EXPECT_EQ(l.StoredWidth(3), std::nullopt);
  EXPECT_TRUE(l.ColumnHidden(5));
  EXPECT_TRUE(l.ColumnHidden(16383));
  EXPECT_FALSE(l.columns[2].width);  // a hidden span without a width
  EXPECT_EQ(l.rows.at(0).height_pt, 30);
  EXPECT_TRUE(l.rows.at(0).custom_height);
  EXPECT_EQ(l.rows.at(1).height_pt, 12);  // a row without r follows the previous one
  EXPECT_FALSE(l.rows.at(1).custom_height);
  EXPECT_TRUE(l.RowHidden(4));
  EXPECT_EQ(l.rows.at(4).style, 4u);
  EXPECT_FALSE(l.rows.count(5));  // s without customFormat is no row format
  EXPECT_EQ(l.StyleOf(0, 0), 1u);
  EXPECT_EQ(l.StyleOf(0, 1), 3u);  // a cell without r follows A1
  EXPECT_EQ(l.StyleOf(1, 4), 0u);  // s="0" stated: style 0, whatever the column says
  EXPECT_EQ(l.StyleOf(1, 1), 2u);  // no s in a styled column: the column's, as LibreOffice
  EXPECT_EQ(l.StyleOf(1, 2), 2u);  // no cell: the column's
  EXPECT_EQ(l.StyleOf(4, 0), 4u);  // no s in a styled row: the row's
  EXPECT_EQ(l.StyleOf(4, 7), 4u);
  EXPECT_EQ(l.StyleOf(7, 7), 0u);  // nothing at all: SpreadsheetML's default format
  EXPECT_EQ(l.default_style, 0u);
  ASSERT_EQ(l.merges.size(), 2u);
  EXPECT_EQ(l.merges[0], (CellRange{0, 0, 0, 2}));
  EXPECT_EQ(l.merges[1], (CellRange{2, 1, 4, 3}));
}

TEST(XlsxLayoutSheet, PageSetupElementsAndTheirDefaults) {
  std::string sheet = Worksheet(
      "<sheetPr><pageSetUpPr fitToPage=\"1\"/></sheetPr>"
      "<sheetViews><sheetView showGridLines=\"0\"/></sheetViews><sheetData/>"
      "<printOptions horizontalCentered=\"1\" verticalCentered=\"true\" headings=\"1\" "
      "gridLines=\"1\" gridLinesSet=\"0\"/>"
      "<pageMargins left=\"0.3\" right=\"0.31\" top=\"0.61\" bottom=\"0.37\" header=\"0.1\"/>"
      "<pageSetup paperSize=\"9\" scale=\"85\" fitToHeight=\"0\" orientation=\"landscape\" "
      "pageOrder=\"overThenDown\" firstPageNumber=\"5\" useFirstPageNumber=\"1\" copies=\"2\" "
      "blackAndWhite=\"1\" errors=\"dash\" paperWidth=\"210mm\" paperHeight=\"11in\"/>"
      "<headerFooter differentFirst=\"1\" scaleWithDoc=\"0\"><oddHeader>&amp;C第&amp;P页"
      "_x000D_</oddHeader><oddFooter>&amp;F</oddFooter><firstHeader>首</firstHeader>"
      "</headerFooter>"
      "<rowBreaks count=\"3\"><brk id=\"30\" max=\"16383\" man=\"1\"/><brk id=\"10\" man=\"true\"/>"
      "<brk id=\"20\"/></rowBreaks><colBreaks><brk id=\"4\" man=\"1\"/></colBreaks>");
  auto book = Open(Package(sheet));
  const SheetLayout& l = book->Layout(0);
  const PageSetup& p = l.page;
  EXPECT_TRUE(p.fit_to_page);
  EXPECT_EQ(p.fit_width, 1);  // the schema's default
  EXPECT_EQ(p.fit_height, 0);
  EXPECT_EQ(p.paper, 9);
  EXPECT_EQ(p.scale, 85);
  EXPECT_EQ(p.orientation, Orientation::Landscape);
  EXPECT_EQ(p.page_order, PageOrder::OverThenDown);
  EXPECT_EQ(p.first_page_number, 5);
  EXPECT_EQ(p.copies, 2);
  EXPECT_TRUE(p.black_and_white);
  EXPECT_EQ(p.errors, PrintErrors::Dash);
  EXPECT_EQ(p.paper_width_mm, 210);
  EXPECT_NEAR(*p.paper_height_mm, 279.4, 1e-9);
  EXPECT_EQ(p.margins.left, 0.3);
  EXPECT_EQ(p.margins.bottom, 0.37);
  EXPECT_EQ(p.margins.header, 0.1);
  EXPECT_FALSE(p.margins.footer);  // not stated: absent
  EXPECT_TRUE(p.center_horizontally);
  EXPECT_TRUE(p.center_vertically);
  EXPECT_TRUE(p.print_headings);
  EXPECT_FALSE(p.print_gridlines);  // gridLines counts only with gridLinesSet
  EXPECT_FALSE(l.show_gridlines);
  const HeaderFooter& hf = l.header_footer;
  EXPECT_EQ(hf.odd_header, "&C第&P页\r");
  EXPECT_EQ(hf.odd_footer, "&F");
  EXPECT_EQ(hf.first_header, "首");
  EXPECT_TRUE(hf.different_first);
  EXPECT_FALSE(hf.different_odd_even);
  EXPECT_FALSE(hf.scale_with_doc);
  EXPECT_TRUE(hf.align_with_margins);
  EXPECT_EQ(l.row_breaks, (std::vector<std::uint32_t>{10, 30}));  // automatic ones left out
  EXPECT_EQ(l.col_breaks, (std::vector<std::uint32_t>{4}));

  // A sheet without any of them: nothing set, and the first page number only with its flag.
  auto plain = Open(Package(Worksheet("<sheetData/><pageSetup firstPageNumber=\"3\"/>")));
  const PageSetup& q = plain->Layout(0).page;
  EXPECT_FALSE(q.paper);
  EXPECT_FALSE(q.scale);
  EXPECT_FALSE(q.first_page_number);
  EXPECT_FALSE(q.margins.left);
  EXPECT_EQ(q.orientation, Orientation::Default);
  EXPECT_FALSE(q.fit_to_page);
  EXPECT_TRUE(plain->Layout(0).show_gridlines);

  // Values that do not parse are left unset, never an error.
  auto odd = Open(Package(
      Worksheet("<sheetData/><pageMargins left=\"x\" right=\"-1\" top=\"1e400\" bottom=\"0.5\"/>"
                "<pageSetup paperSize=\"A4\" scale=\"5000\" copies=\"-2\" fitToWidth=\"2.0\"/>")));
  const PageSetup& o = odd->Layout(0).page;
  EXPECT_FALSE(o.margins.left);
  EXPECT_FALSE(o.margins.right);
  EXPECT_FALSE(o.margins.top);
  EXPECT_EQ(o.margins.bottom, 0.5);
  EXPECT_FALSE(o.paper);
  EXPECT_FALSE(o.scale);
  EXPECT_FALSE(o.copies);
  EXPECT_EQ(o.fit_width, 2);  // "2.0" where an integer belongs
}

TEST(XlsxLayoutNames, PrintAreasAndTitlesBelongToTheirSheets) {
  // localSheetId counts the chart sheet: 2 is "S 2", our second worksheet.
  std::string names =
      "<definedNames>"
      "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">S1!$A$1:$H$44</definedName>"
      "<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"0\">S1!$1:$3,S1!$A:$B"
      "</definedName>"
      "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"2\">'S 2'!$A$1:$C$10,'S 2'!$E$1:$G$10"
      "</definedName>"
      "<definedName name=\"_XLNM.PRINT_TITLES\">'S 2'!$2:$2</definedName>"
      "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"1\">Chart!$A$1:$B$2</definedName>"
      "<definedName name=\"Other\" localSheetId=\"0\">S1!$Z$1</definedName>"
      "</definedNames>";
  auto book = Open(Package(Worksheet("<sheetData/>"), Worksheet("<sheetData/>"), "", "", names));
  ASSERT_EQ(book->sheets().size(), 2u);
  const SheetLayout& s1 = book->Layout(0);
  ASSERT_EQ(s1.print_area.size(), 1u);
  EXPECT_EQ(s1.print_area[0], (CellRange{0, 0, 43, 7}));
  EXPECT_EQ(s1.title_rows, std::make_pair(0u, 2u));
  EXPECT_EQ(s1.title_cols, std::make_pair(0u, 1u));
  const SheetLayout& s2 = book->Layout(1);
  ASSERT_EQ(s2.print_area.size(), 2u);
  EXPECT_EQ(s2.print_area[1], (CellRange{0, 4, 9, 6}));
  EXPECT_EQ(s2.title_rows, std::make_pair(1u, 1u));  // a name without localSheetId, by sheet
  EXPECT_FALSE(s2.title_cols);
}

TEST(XlsxLayoutNames, ReferenceLists) {
  std::vector<CellRange> ranges;
  std::vector<std::string> sheets;
  ASSERT_TRUE(ParseRangeList("'It''s 表'!$B$2:$A$1,(Sheet1!C3),$4:$5,A:B", &ranges, &sheets));
  ASSERT_EQ(ranges.size(), 4u);
  EXPECT_EQ(ranges[0], (CellRange{0, 0, 1, 1}));  // ends in either order
  EXPECT_EQ(sheets[0], "It's 表");
  EXPECT_EQ(ranges[1], (CellRange{2, 2, 2, 2}));
  EXPECT_EQ(sheets[1], "Sheet1");
  EXPECT_EQ(ranges[2], (CellRange{3, 0, 4, kMaxCols - 1}));
  EXPECT_EQ(sheets[2], "");
  EXPECT_EQ(ranges[3], (CellRange{0, 0, kMaxRows - 1, 1}));
  for (const char* bad : {"#REF!", "Sheet1!#REF!", "SUM(A1:B2)", "A1:3", "", "'open!A1", "A1,,B2",
                          "XFE1", "A0", "A1048577"}) {
    EXPECT_FALSE(ParseRangeList(bad, &ranges)) << bad;
  }
}

TEST(XlsxLayoutSheet, LayoutIsReadOnlyWhenAskedAndLeavesCellsAlone) {
  std::string sheet = Worksheet(
      "<sheetData><row r=\"2\"><c r=\"B2\" s=\"1\"><v>7</v></c></row></sheetData>"
      "<mergeCells><mergeCell ref=\"B2:C3\"/></mergeCells>");
  auto book = Open(Package(sheet));
  EXPECT_EQ(book->Cells(0).Find(1, 1)->number(), 7);
  EXPECT_EQ(book->Layout(0).merges.size(), 1u);
  EXPECT_EQ(&book->Layout(0), &book->Layout(0));  // read once, then kept
  EXPECT_EQ(book->Cells(0).size(), 1u);
  // A worksheet part that is not XML fails its sheet, as reading its cells does.
  auto broken = Open(Package(Worksheet("<sheetData/>"), "<worksheet><sheetData>"));
  EXPECT_THROW(broken->Layout(1), BookError);
  EXPECT_NO_THROW(broken->Layout(0));
}

// Header and footer pictures: the VML drawing that <legacyDrawingHF> names, its shapes by
// section ("CH", "LFFIRST", "RHEVEN") with their stated size, each image through the drawing's
// own relationships.
const char* kPng = "\x89PNG\r\n\x1a\n-not-decoded-here";
const char* kVmlRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"x/image\" Target=\"../media/image1.png\"/>"
    "<Relationship Id=\"rId2\" Type=\"x/image\" Target=\"../media/image2.emf\"/>"
    "<Relationship Id=\"rId3\" Type=\"x/image\" Target=\"../media/gone.png\"/>"
    "<Relationship Id=\"rId4\" Type=\"x/image\" Target=\"../media/image3.jpeg\"/>"
    "</Relationships>";

std::string Shape(const std::string& id, const std::string& style, const std::string& rel) {
  return "<v:shape id=\"" + id + "\" type=\"#_x0000_t75\" style='position:absolute;" + style +
         ";\n  z-index:1'><v:imagedata o:relid=\"" + rel + "\" o:title=\"logo\"/></v:shape>";
}

Parts WithHeaderPictures(const std::string& vml) {
  // The r: prefix is left undeclared, as the parser reads attributes by their local name.
  Parts parts =
      Package(Worksheet("<sheetData/><headerFooter><oddHeader>&amp;C&amp;G</oddHeader>"
                        "</headerFooter><legacyDrawingHF r:id=\"rId7\"/>"));
  parts.push_back({"xl/worksheets/_rels/sheet1.xml.rels",
                   std::string("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
                               "2006/relationships\"><Relationship Id=\"rId7\" Type=\"") +
                       kRel + "vmlDrawing\" Target=\"../drawings/vmlDrawing1.vml\"/>" +
                       "</Relationships>"});
  parts.push_back({"xl/drawings/vmlDrawing1.vml", vml});
  parts.push_back({"xl/drawings/_rels/vmlDrawing1.vml.rels", kVmlRels});
  parts.push_back({"xl/media/image1.png", kPng});
  parts.push_back({"xl/media/image2.emf", std::string("\x01\x00\x00\x00 EMF", 8)});
  parts.push_back({"xl/media/image3.jpeg", "\xFF\xD8\xFF\xE0jfif"});
  return parts;
}

std::string Vml(const std::string& shapes) {
  return "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" "
         "xmlns:o=\"urn:schemas-microsoft-com:office:office\"><o:shapelayout v:ext=\"edit\"/>"
         "<v:shapetype id=\"_x0000_t75\" coordsize=\"21600,21600\"/>" +
         shapes + "</xml>";
}

TEST(XlsxLayoutHeaderFooter, PicturesBySectionWithTheirSizeAndImage) {
  auto book = Open(WithHeaderPictures(
      Vml(Shape("CH", "margin-left:0;width:48pt;height:24pt", "rId1") +
          Shape("CH", "width:10pt;height:10pt", "rId4") +  // a second one: the first is kept
          Shape("LFFIRST", "width:1in;height:0.5in", "rId2") +
          Shape("RHEVEN", "width:64px;height:32", "rId4") +
          Shape("CF", "width:20pt;height:20pt", "rId3") +            // its image part is missing
          Shape("_x0000_s1025", "width:20pt;height:20pt", "rId1") +  // not a section
          "<v:group><v:shape id=\"RF\" style=\"width:5mm;height:5mm\"><v:imagedata "
          "o:relid=\"rId1\"/></v:shape></v:group>")));
  const HeaderFooter& hf = book->Layout(0).header_footer;
  EXPECT_EQ(hf.odd_header, "&C&G");
  ASSERT_EQ(hf.pictures.size(), 4u);
  const HeaderFooterPicture* centre =
      hf.PictureFor(false, HeaderFooterPage::Odd, HeaderFooterSection::Center);
  ASSERT_NE(centre, nullptr);
  EXPECT_DOUBLE_EQ(centre->width_pt, 48);
  EXPECT_DOUBLE_EQ(centre->height_pt, 24);
  EXPECT_EQ(centre->format, PictureFormat::Png);
  EXPECT_EQ(centre->part, "xl/media/image1.png");
  EXPECT_EQ(centre->bytes, kPng);

  const HeaderFooterPicture* first =
      hf.PictureFor(true, HeaderFooterPage::First, HeaderFooterSection::Left);
  ASSERT_NE(first, nullptr);
  EXPECT_DOUBLE_EQ(first->width_pt, 72);
  EXPECT_DOUBLE_EQ(first->height_pt, 36);
  EXPECT_EQ(first->format, PictureFormat::Other) << "EMF is kept but not drawable";

  const HeaderFooterPicture* even =
      hf.PictureFor(false, HeaderFooterPage::Even, HeaderFooterSection::Right);
  ASSERT_NE(even, nullptr);
  EXPECT_DOUBLE_EQ(even->width_pt, 48);
  EXPECT_DOUBLE_EQ(even->height_pt, 24);
  EXPECT_EQ(even->format, PictureFormat::Jpeg);

  const HeaderFooterPicture* grouped =
      hf.PictureFor(true, HeaderFooterPage::Odd, HeaderFooterSection::Right);
  ASSERT_NE(grouped, nullptr);
  EXPECT_NEAR(grouped->width_pt, 5 * 72 / 25.4, 1e-9);
  EXPECT_EQ(hf.PictureFor(true, HeaderFooterPage::Odd, HeaderFooterSection::Center), nullptr);
}

TEST(XlsxLayoutHeaderFooter, DamagedOrMissingDrawingsLeaveNoPicturesAndNoError) {
  // VML that is not XML, a shape without a size or with one no paper holds, a drawing part
  // that is missing.
  for (const std::string& vml :
       {std::string("<xml><v:shape id=\"CH\""), Vml(Shape("CH", "position:absolute", "rId1")),
        Vml(Shape("CH", "width:-4pt;height:2pt", "rId1")),
        Vml(Shape("CH", "width:1e300pt;height:2pt", "rId1")),
        Vml(Shape("CH", "width:3000pt;height:2pt", "rId1"))}) {
    auto book = Open(WithHeaderPictures(vml));
    const SheetLayout& layout = book->Layout(0);
    EXPECT_TRUE(layout.header_footer.pictures.empty()) << vml;
    EXPECT_EQ(layout.header_footer.odd_header, "&C&G");
  }
  Parts parts = WithHeaderPictures(Vml(Shape("CH", "width:4pt;height:2pt", "rId1")));
  std::erase_if(parts, [](const auto& p) { return p.first == "xl/drawings/vmlDrawing1.vml"; });
  EXPECT_TRUE(Open(parts)->Layout(0).header_footer.pictures.empty());
  // Without <legacyDrawingHF> the drawing is not looked at.
  EXPECT_TRUE(Open(Package(Worksheet("<sheetData/>")))->Layout(0).header_footer.pictures.empty());
}

}  // namespace
