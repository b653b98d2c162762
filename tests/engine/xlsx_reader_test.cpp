// The .xlsx reader: fixtures written by LibreOffice and openpyxl (tests/data/xlsx, made by
// make_fixtures.py; expected values from its tables), hand-built packages for the package and
// cell rules, and hostile input.
#include <gtest/gtest.h>

#include <string>

#include "engine/book.h"
#include "tests/engine/xlsx_test_package.h"

using ledgerix::CellError;
using ledgerix::Variant;
using namespace ledgerix::engine;
using namespace ledgerix::engine::testing;

namespace {

std::string Fixture(const std::string& name) {
  return std::string(LEDGERIX_TEST_DATA) + "/xlsx/" + name;
}

Variant Cell(Book& book, int sheet, const char* a1) {
  std::uint32_t row = 0, col = 0;
  EXPECT_TRUE(ParseA1(a1, &row, &col)) << a1;
  const Variant* v = book.Cells(sheet).Find(row, col);
  return v ? *v : Variant();
}

Variant Num(double v) { return Variant::Number(v); }
Variant Str(const char* v) { return Variant::String(v); }
Variant Err(CellError e) { return Variant::Error(e); }

// Runs fn, which must throw a BookError whose text starts with reason and mentions detail.
template <class Fn>
void ExpectBookError(Fn&& fn, const char* reason, const std::string& detail = "") {
  try {
    fn();
    ADD_FAILURE() << "no BookError; wanted " << reason;
  } catch (const BookError& e) {
    std::string what = e.what();
    EXPECT_EQ(what.rfind(reason, 0), 0u) << what;
    EXPECT_NE(what.find(detail), std::string::npos) << what;
  }
}

std::unique_ptr<Book> OpenParts(const Parts& parts) {
  return OpenBookFromMemory("test.xlsx", BuildZip(parts));
}

TEST(XlsxFixtures, LibreOfficeStatementWithCachedFormulaResults) {
  auto book = OpenBook(Fixture("lo_statement.xlsx"));
  EXPECT_EQ(book->format(), "xlsx");
  EXPECT_FALSE(book->date1904());
  ASSERT_EQ(book->sheets().size(), 3u);
  EXPECT_EQ(book->sheets()[0].name, "封面");
  EXPECT_EQ(book->sheets()[1].name, "资产负债表");
  EXPECT_EQ(book->sheets()[2].name, "隐藏");
  EXPECT_EQ(book->sheets()[0].visible, ledgerix::xlSheetVisible);
  EXPECT_EQ(book->sheets()[2].visible, ledgerix::xlSheetHidden);
  EXPECT_EQ(book->active_sheet(), 1);

  EXPECT_EQ(Cell(*book, 0, "B1"), Str("440301123456789"));  // a long number kept as text
  EXPECT_EQ(Cell(*book, 1, "A1"), Str("资产"));
  EXPECT_EQ(Cell(*book, 1, "B1"), Num(1234.5));
  EXPECT_EQ(Cell(*book, 1, "C1"), Num(-20));
  EXPECT_EQ(Cell(*book, 1, "D1"), Num(0.1));
  EXPECT_EQ(Cell(*book, 1, "A2"), Num(45322));    // 2024-01-31
  EXPECT_EQ(Cell(*book, 1, "B2"), Num(45322.5));  // 2024-01-31 12:00
  EXPECT_EQ(Cell(*book, 1, "C2"), Variant::Boolean(true));
  EXPECT_EQ(Cell(*book, 1, "A3"), Num(2469));
  EXPECT_EQ(Cell(*book, 1, "B3"), Str("资产合计"));
  EXPECT_EQ(Cell(*book, 1, "C3"), Variant::Boolean(true));
  EXPECT_EQ(Cell(*book, 1, "D3"), Str(""));  // ="" caches an empty string, not nothing
  EXPECT_EQ(Cell(*book, 1, "A4"), Err(CellError::Div0));
  EXPECT_EQ(Cell(*book, 1, "B4"), Err(CellError::NA));
  EXPECT_EQ(Cell(*book, 1, "C4"), Err(CellError::Value));
  EXPECT_EQ(Cell(*book, 1, "D4"), Err(CellError::Num));
  EXPECT_EQ(Cell(*book, 1, "E4"), Num(45351));  // DATE(2024,2,29)
  EXPECT_EQ(Cell(*book, 1, "F4"), Num(-24690));
  EXPECT_EQ(Cell(*book, 1, "A5"), Str("  两端空格  "));
  EXPECT_EQ(Cell(*book, 1, "A6"), Err(CellError::Ref));
  EXPECT_EQ(Cell(*book, 1, "B6"), Err(CellError::Name));
  EXPECT_EQ(Cell(*book, 1, "H40"), Str("末格"));
  EXPECT_TRUE(Cell(*book, 1, "H41").IsEmpty());
  EXPECT_TRUE(Cell(*book, 1, "XFD1048576").IsEmpty());
  EXPECT_EQ(Cell(*book, 2, "A1"), Str("hidden"));
}

TEST(XlsxFixtures, OpenpyxlSheetListSkipsChartSheetAndMapsActiveTab) {
  auto book = OpenBook(Fixture("openpyxl_sheets.xlsx"));
  ASSERT_EQ(book->sheets().size(), 4u);  // Data, (Chart), After, Hidden, VeryHidden
  EXPECT_EQ(book->sheets()[0].name, "Data");
  EXPECT_EQ(book->sheets()[1].name, "After");
  EXPECT_EQ(book->sheets()[2].visible, ledgerix::xlSheetHidden);
  EXPECT_EQ(book->sheets()[3].name, "VeryHidden");
  EXPECT_EQ(book->sheets()[3].visible, ledgerix::xlSheetVeryHidden);
  EXPECT_EQ(book->active_sheet(), 1);  // activeTab 2 counts the chart sheet

  EXPECT_EQ(Cell(*book, 0, "A1"), Str("text"));
  EXPECT_EQ(Cell(*book, 0, "B1"), Num(42));
  EXPECT_EQ(Cell(*book, 0, "C1"), Num(-1.5e-7));
  EXPECT_EQ(Cell(*book, 0, "D1"), Num(12345678901234));
  EXPECT_EQ(Cell(*book, 0, "A2"), Variant::Boolean(true));
  EXPECT_EQ(Cell(*book, 0, "B2"), Variant::Boolean(false));
  const CellError errors[] = {CellError::Null, CellError::Div0, CellError::Value, CellError::Ref,
                              CellError::Name, CellError::Num,  CellError::NA};
  const char* cells[] = {"A3", "B3", "C3", "D3", "E3", "F3", "G3"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Cell(*book, 0, cells[i]), Err(errors[i])) << cells[i];
  EXPECT_EQ(Cell(*book, 0, "A4"), Str("中文"));
  EXPECT_EQ(Cell(*book, 0, "A5"), Str("line1\nline2"));
  EXPECT_EQ(Cell(*book, 1, "B2"), Str("after the chart"));
  EXPECT_EQ(Cell(*book, 3, "A1"), Num(7));
}

TEST(XlsxFixtures, Date1904WorkbookKeepsItsSerialsAndConvertsIsoDates) {
  auto book = OpenBook(Fixture("openpyxl_1904_iso.xlsx"));
  EXPECT_TRUE(book->date1904());
  EXPECT_EQ(Cell(*book, 0, "A1"), Num(43860));     // 2024-01-31 in the 1904 system
  EXPECT_EQ(Cell(*book, 0, "A2"), Num(43860.25));  // 06:00
  EXPECT_EQ(Cell(*book, 0, "A3"), Num(1.5));
}

TEST(XlsxFixtures, MacroEnabledWorkbook) {
  auto book = OpenBook(Fixture("openpyxl_macro.xlsm"));
  ASSERT_EQ(book->sheets().size(), 1u);
  EXPECT_EQ(Cell(*book, 0, "A1"), Str("xlsm"));
}

TEST(XlsxPackage, OpenReadsNoWorksheetUntilItsCellsAreWanted) {
  Parts parts = OneSheetPackage("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
  parts[3].second = "<worksheet><sheetData><row>";  // unterminated: damaged sheet
  auto book = OpenParts(parts);                     // opens: the workbook part is sound
  ASSERT_EQ(book->sheets().size(), 1u);
  ExpectBookError([&] { book->Cells(0); }, kCorrupt, "xl/worksheets/sheet1.xml");
}

TEST(XlsxPackage, FollowsRelationshipsToNonStandardPartNames) {
  // Workbook at an absolute target, worksheet relative with "..", strings via %-escape.
  Parts parts = {
      {"_rels/.rels", std::string("<Relationships xmlns=\"") + kRelsNs +
                          "\"><Relationship Id=\"r\" Type=\"" + kRelType +
                          "officeDocument\" Target=\"/book/main.xml\"/></Relationships>"},
      {"book/main.xml", std::string("<workbook xmlns=\"") + kMainNs +
                            "\" xmlns:rel=\"http://schemas.openxmlformats.org/officeDocument/"
                            "2006/relationships\"><sheets><sheet name=\"Only\" sheetId=\"1\" "
                            "rel:id=\"a\"/></sheets></workbook>"},
      {"book/_rels/main.xml.rels",
       std::string("<Relationships xmlns=\"") + kRelsNs + "\"><Relationship Id=\"a\" Type=\"" +
           kRelType + "worksheet\" Target=\"../data/./s%31.xml\"/><Relationship Id=\"b\" Type=\"" +
           kRelType + "sharedStrings\" Target=\"Strings.XML\"/></Relationships>"},
      {"data/s1.xml", std::string("<worksheet xmlns=\"") + kMainNs +
                          "\"><sheetData><row r=\"2\"><c r=\"B2\" t=\"s\"><v>0</v></c></row>"
                          "</sheetData></worksheet>"},
      {"book/strings.xml", std::string("<sst xmlns=\"") + kMainNs + "\"><si><t>ok</t></si></sst>"},
  };
  auto book = OpenParts(parts);
  ASSERT_EQ(book->sheets().size(), 1u);
  EXPECT_EQ(book->sheets()[0].name, "Only");
  EXPECT_EQ(Cell(*book, 0, "B2"), Str("ok"));  // part names compare without case
}

TEST(XlsxPackage, StrictNamespacesAndPrefixedElements) {
  const char* strict_rel = "http://purl.oclc.org/ooxml/officeDocument/relationships/";
  Parts parts = {
      {"_rels/.rels", std::string("<Relationships xmlns=\"") + kRelsNs +
                          "\"><Relationship Id=\"r\" Type=\"" + strict_rel +
                          "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml",
       "<x:workbook xmlns:x=\"http://purl.oclc.org/ooxml/spreadsheetml/main\" "
       "xmlns:r=\"http://purl.oclc.org/ooxml/officeDocument/relationships\"><x:workbookPr "
       "date1904=\"true\"/><x:sheets><x:sheet name=\"S\" sheetId=\"1\" r:id=\"w\"/></x:sheets>"
       "</x:workbook>"},
      {"xl/_rels/workbook.xml.rels", std::string("<Relationships xmlns=\"") + kRelsNs +
                                         "\"><Relationship Id=\"w\" Type=\"" + strict_rel +
                                         "worksheet\" Target=\"sheet.xml\"/></Relationships>"},
      {"xl/sheet.xml",
       "<x:worksheet xmlns:x=\"http://purl.oclc.org/ooxml/spreadsheetml/main\"><x:sheetData>"
       "<x:row r=\"1\"><x:c r=\"A1\" t=\"inlineStr\"><x:is><x:t>strict</x:t></x:is></x:c>"
       "</x:row></x:sheetData></x:worksheet>"},
  };
  auto book = OpenParts(parts);
  EXPECT_TRUE(book->date1904());
  EXPECT_EQ(Cell(*book, 0, "A1"), Str("strict"));
}

TEST(XlsxPackage, ActiveTabOnHiddenOrMissingSheetFallsBackToFirstVisible) {
  auto with_view = [](const char* view, const char* first_state) {
    Parts parts = OneSheetPackage("");
    parts[1].second = std::string("<workbook xmlns=\"") + kMainNs +
                      "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                      "relationships\"><bookViews>" +
                      view + "</bookViews><sheets><sheet name=\"A\" sheetId=\"1\" state=\"" +
                      first_state +
                      "\" r:id=\"rId1\"/><sheet name=\"B\" sheetId=\"2\" r:id=\"rId1\"/>"
                      "<sheet name=\"C\" sheetId=\"3\" r:id=\"rId1\"/></sheets></workbook>";
    return OpenParts(parts)->active_sheet();
  };
  EXPECT_EQ(with_view("<workbookView activeTab=\"2\"/>", "visible"), 2);
  EXPECT_EQ(with_view("", "visible"), 0);                                // no view: first
  EXPECT_EQ(with_view("<workbookView activeTab=\"0\"/>", "hidden"), 1);  // hidden: first visible
  EXPECT_EQ(with_view("<workbookView activeTab=\"9\"/>", "veryHidden"), 1);
}

TEST(XlsxCells, SharedStringsWithRunsPhoneticsEscapesAndSpaces) {
  auto book = OpenParts(OneSheetPackage(
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
      "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"s\"><v>3</v></c></row>",
      "<si><r><t>资产</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\"> 总计</t></r>"
      "<rPh sb=\"0\" eb=\"1\"><t>ズ</t></rPh></si>"
      "<si><t>a_x000D__x000A_b _x005F_x0041_ _xD83D__xDE00_</t></si>"
      "<si><t xml:space=\"preserve\"> </t></si>"
      "<si><t/></si>"));
  EXPECT_EQ(Cell(*book, 0, "A1"), Str("资产 总计"));
  EXPECT_EQ(Cell(*book, 0, "B1"), Str("a\r\nb _x0041_ \xF0\x9F\x98\x80"));
  EXPECT_EQ(Cell(*book, 0, "C1"), Str(" "));
  EXPECT_EQ(Cell(*book, 0, "D1"), Str(""));
}

TEST(XlsxCells, TypesFormulasWithoutResultsAndPositionsWithoutReferences) {
  auto book = OpenParts(OneSheetPackage(
      // Row 1: every type; a formula without a cached value is empty.
      "<row r=\"1\"><c r=\"A1\" t=\"str\"><f>\"x\"</f><v>x_x0009_y</v></c>"
      "<c r=\"B1\" t=\"b\"><f>TRUE()</f><v>0</v></c><c r=\"C1\" t=\"e\"><v>#SPILL!</v></c>"
      "<c r=\"D1\"><f>A9</f></c><c r=\"E1\" t=\"inlineStr\"><is><r><t>in</t></r><r><t>line</t>"
      "</r></is></c><c r=\"F1\" t=\"d\"><v>1900-02-28</v></c><c r=\"G1\" t=\"d\">"
      "<v>1900-03-01T18:00:00Z</v></c><c r=\"H1\" t=\"n\"><v> +1.25E2 </v></c>"
      "<c r=\"I1\" s=\"3\"/><c r=\"J1\" t=\"str\"><v/></c></row>"
      // Rows and cells without r follow the previous ones; lower-case references are read.
      "<row><c><v>1</v></c><c><v>2</v></c><c r=\"e2\"><v>5</v></c><c><v>6</v></c></row>"
      "<row r=\"10\"><c r=\"XFD10\"><v>9</v></c></row><row><c><v>11</v></c></row>"));
  EXPECT_EQ(Cell(*book, 0, "A1"), Str("x\ty"));
  EXPECT_EQ(Cell(*book, 0, "B1"), Variant::Boolean(false));
  EXPECT_EQ(Cell(*book, 0, "C1"), Err(static_cast<CellError>(2045)));
  EXPECT_TRUE(Cell(*book, 0, "D1").IsEmpty());
  EXPECT_EQ(Cell(*book, 0, "E1"), Str("inline"));
  EXPECT_EQ(Cell(*book, 0, "F1"), Num(59));     // the 1900 system before its phantom 29 Feb
  EXPECT_EQ(Cell(*book, 0, "G1"), Num(61.75));  // and after it
  EXPECT_EQ(Cell(*book, 0, "H1"), Num(125));
  EXPECT_TRUE(Cell(*book, 0, "I1").IsEmpty());  // formatting only
  EXPECT_EQ(Cell(*book, 0, "J1"), Str(""));
  EXPECT_EQ(Cell(*book, 0, "A2"), Num(1));
  EXPECT_EQ(Cell(*book, 0, "B2"), Num(2));
  EXPECT_EQ(Cell(*book, 0, "E2"), Num(5));
  EXPECT_EQ(Cell(*book, 0, "F2"), Num(6));
  EXPECT_EQ(Cell(*book, 0, "XFD10"), Num(9));
  EXPECT_EQ(Cell(*book, 0, "A11"), Num(11));
  EXPECT_EQ(book->Cells(0).size(), 14u);
}

TEST(XlsxCells, InlineStringsWithoutTextAreEmptyCells) {
  auto book = OpenParts(
      OneSheetPackage("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t/></is></c>"
                      "<c r=\"B1\" t=\"inlineStr\"><is/></c>"
                      "<c r=\"C1\" t=\"inlineStr\"><is><r><t></t></r><r><t/></r></is></c>"
                      "<c r=\"D1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> </t></is></c>"
                      "<c r=\"E1\" t=\"inlineStr\"><is><t>0</t></is></c></row>"));
  EXPECT_EQ(book->Cells(0).Find(0, 0), nullptr);
  EXPECT_EQ(book->Cells(0).Find(0, 1), nullptr);
  EXPECT_EQ(book->Cells(0).Find(0, 2), nullptr);
  EXPECT_EQ(Cell(*book, 0, "D1"), Str(" "));
  EXPECT_EQ(Cell(*book, 0, "E1"), Str("0"));
  EXPECT_EQ(book->Cells(0).size(), 2u);
}

TEST(XlsxCells, UndecodableValuesFailTheSheetNamingTheCell) {
  struct Case {
    const char* cell;
    const char* detail;
  } cases[] = {
      {"<c r=\"B2\" t=\"s\"><v>1</v></c>", "B2: shared string index 1 past a table of 1"},
      {"<c r=\"B2\"><v>12abc</v></c>", "B2: number"},
      {"<c r=\"B2\"><v>1e999</v></c>", "B2: number"},
      {"<c r=\"B2\" t=\"b\"><v>yes</v></c>", "B2: boolean"},
      {"<c r=\"B2\" t=\"e\"><v>#OOPS!</v></c>", "B2: error value"},
      {"<c r=\"B2\" t=\"d\"><v>2024-13-01</v></c>", "B2: ISO date"},
      {"<c r=\"B2\" t=\"x\"><v>1</v></c>", "B2: cell type"},
      {"<c r=\"$B$2\"><v>1</v></c>", "cell reference \"$B$2\""},
      {"<c r=\"XFE2\"><v>1</v></c>", "cell reference"},
  };
  for (const Case& c : cases) {
    auto book = OpenParts(
        OneSheetPackage(std::string("<row r=\"2\">") + c.cell + "</row>", "<si><t>only</t></si>"));
    ExpectBookError([&] { book->Cells(0); }, kCorrupt, c.detail);
  }
  auto rows = OpenParts(OneSheetPackage("<row r=\"1048577\"><c><v>1</v></c></row>"));
  ExpectBookError([&] { rows->Cells(0); }, kCorrupt, "row number");
}

// Every hostile package in tests/data/xlsx/hostile, named for its cause, with the whole message
// the user reads; "cells" where the package opens and its first sheet fails.
TEST(XlsxHostile, EachFixtureFailsWithItsExactMessage) {
  struct Case {
    const char* file;
    bool at_open;
    const char* message;
  } cases[] = {
      {"truncated.xlsx", true, "文件已损坏（ZIP directory unreadable: Broken zip file structure）"},
      {"bad_local_header.xlsx", true, "文件已损坏（ZIP entry sheet1.xml unreadable）"},
      {"not_workbook.xlsx", true,
       "文件不是有效的Excel工作簿（part word/document.xml holds <w:document>, not <workbook>）"},
      {"empty_file.xlsx", true, "文件不是有效的Excel工作簿"},
      {"size_lie.xlsx", false,
       "文件已损坏（part xl/worksheets/sheet1.xml: Couldn't find end of Start Tag s at line 1, "
       "column 101）"},
      {"size_claims_4gb.xlsx", false,
       "文件内容过大（part xl/worksheets/sheet1.xml states 4294967280 bytes, limit 2147483648）"},
      {"zip_bomb.xlsx", false,
       "文件内容过大（part xl/worksheets/sheet1.xml states 83886080 bytes from a package of 82684 "
       "bytes, limit 200 times the package）"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = Fixture(std::string("hostile/") + c.file);
    bool opened = false;
    try {
      std::unique_ptr<Book> book = OpenBook(path);
      opened = true;
      book->Cells(0);
      ADD_FAILURE() << "the first sheet was read";
    } catch (const BookError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(opened, !c.at_open);
  }
}

TEST(XlsxHostile, PackagesThatAreNotSoundWorkbooks) {
  ExpectBookError([] { OpenBook(Fixture("hostile/truncated.xlsx")); }, kCorrupt, "ZIP");
  ExpectBookError([] { OpenBook(Fixture("hostile/bad_local_header.xlsx")); }, kCorrupt,
                  "sheet1.xml unreadable");
  ExpectBookError([] { OpenBook(Fixture("hostile/not_workbook.xlsx")); }, kNotAWorkbook,
                  "word/document.xml");
  ExpectBookError([] { OpenBook(Fixture("hostile/empty_file.xlsx")); }, kNotAWorkbook);
  ExpectBookError([] { OpenBook(Fixture("no_such_file.xlsx")); }, "文件不存在");

  // The worksheet part's stated size is a lie: 100 bytes of a longer deflate stream are a
  // truncated XML document; a claim of 4 GB and a real 80 MB bomb pass the cap.
  auto lie = OpenBook(Fixture("hostile/size_lie.xlsx"));
  ExpectBookError([&] { lie->Cells(0); }, kCorrupt, "xl/worksheets/sheet1.xml");
  auto claim = OpenBook(Fixture("hostile/size_claims_4gb.xlsx"));
  ExpectBookError([&] { claim->Cells(0); }, kTooLarge, "xl/worksheets/sheet1.xml");
  auto bomb = OpenBook(Fixture("hostile/zip_bomb.xlsx"));
  ExpectBookError([&] { bomb->Cells(0); }, kTooLarge, "83886080");

  // A package part with a DTD (entity expansion) is refused.
  Parts dtd = OneSheetPackage("", "<si><t>&a;</t></si>");
  dtd.back().second = "<!DOCTYPE sst [<!ENTITY a \"aaaa\">]>" + dtd.back().second;
  ExpectBookError([&] { OpenParts(dtd); }, kCorrupt, "document type declaration");

  // Damage found at open: no sheets, a sheet without its relationship or part, bad XML.
  Parts no_sheets = OneSheetPackage("");
  no_sheets[1].second = std::string("<workbook xmlns=\"") + kMainNs + "\"><sheets/></workbook>";
  ExpectBookError([&] { OpenParts(no_sheets); }, kCorrupt, "lists no sheets");
  Parts missing_part = OneSheetPackage("");
  missing_part.erase(missing_part.begin() + 3);
  ExpectBookError([&] { OpenParts(missing_part); }, kCorrupt, "xl/worksheets/sheet1.xml");
  Parts bad_id = OneSheetPackage("");
  bad_id[1].second.replace(bad_id[1].second.find("rId1"), 4, "rId7");
  ExpectBookError([&] { OpenParts(bad_id); }, kCorrupt, "rId7");
  Parts bad_xml = OneSheetPackage("");
  bad_xml[1].second.pop_back();
  ExpectBookError([&] { OpenParts(bad_xml); }, kCorrupt, "xl/workbook.xml");
  Parts binary = OneSheetPackage("");
  binary[0].second.replace(binary[0].second.find("xl/workbook.xml"), 15, "xl/workbook.bin");
  ExpectBookError([&] { OpenParts(binary); }, kUnsupported, "xl/workbook.bin");
}

TEST(XlsxHostile, EncryptedPackageIsReportedAsEncrypted) {
  // An encrypted .xlsx is a compound file holding the encryption header and the package.
  std::string ole = BuildCompoundFile({{"EncryptionInfo", std::string("\x04\x00\x04\x00", 4)},
                                       {"EncryptedPackage", std::string(64, '\x5A')}});
  ExpectBookError([&] { OpenBookFromMemory("secret.xlsx", ole); }, kEncrypted);
}

}  // namespace
