// The streamed worksheet and shared-string reading: markup the document reader handled,
// sheets of the format's full height, the memory budget, and sheets dropped once idle.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/book.h"
#include "tests/engine/book_error.h"
#include "tests/engine/xlsx_test_package.h"

using ledgerix::Variant;
using namespace ledgerix::engine;
using namespace ledgerix::engine::testing;

namespace {

std::unique_ptr<Book> OpenParts(const Parts& parts) {
  return OpenBookFromMemory("test.xlsx", BuildZip(parts));
}

Variant Cell(Book& book, int sheet, const char* a1) {
  std::uint32_t row = 0, col = 0;
  EXPECT_TRUE(ParseA1(a1, &row, &col)) << a1;
  const Variant* v = book.Cells(sheet).Find(row, col);
  return v ? *v : Variant();
}

// Under the sanitizers every allocation is slower and larger: a taller sheet proves no more.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint32_t kTallRows = 131072;
#else
constexpr std::uint32_t kTallRows = 1048576;
#endif

TEST(XlsxStream, MarkupAroundTheValuesReadsAsTheDocumentDid) {
  auto book = OpenParts(OneSheetPackage(
      // Text split by a comment and CDATA; phonetic runs are no part of the value; a <v> after
      // the first is ignored; a second <sheetData> is not the cells.
      "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a<!-- x --><![CDATA[<b>]]></t>"
      "<r><rPr><b/></rPr><t xml:space=\"preserve\"> c</t></r><rPh><t>PH</t></rPh></is></c>"
      "<c r=\"B1\"><v>1</v><v>2</v></c><c r=\"C1\" t=\"s\"><v> 0 </v></c>"
      "<c r=\"D1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> </t></is></c>"
      "<c r=\"E1\" t=\"inlineStr\"><is/></c><c r=\"F1\"/><c r=\"G1\" t=\"str\"><f>A1</f>"
      "<v>x_x000D_y</v></c></row>"
      "<row><c><v>3</v></c><c t=\"b\"><v>1</v></c></row><row r=\"5\"/>"
      "<row r=\"6\"><c r=\"A6\"><v>6</v></c></row></sheetData><sheetData><row r=\"9\">"
      "<c r=\"A9\"><v>9</v></c></row>",
      "<si><r><t>sh</t></r><r><t>ared</t></r></si>"));
  EXPECT_EQ(Cell(*book, 0, "A1"), Variant::String("a<b> c"));
  EXPECT_EQ(Cell(*book, 0, "B1"), Variant::Number(1));
  EXPECT_EQ(Cell(*book, 0, "C1"), Variant::String("shared"));
  EXPECT_EQ(Cell(*book, 0, "D1"), Variant::String(" "));
  EXPECT_TRUE(Cell(*book, 0, "E1").IsEmpty());
  EXPECT_EQ(Cell(*book, 0, "G1"), Variant::String("x\ry"));
  EXPECT_EQ(Cell(*book, 0, "A2"), Variant::Number(3));
  EXPECT_EQ(Cell(*book, 0, "B2"), Variant::Boolean(true));
  EXPECT_EQ(Cell(*book, 0, "A6"), Variant::Number(6));
  EXPECT_TRUE(Cell(*book, 0, "A9").IsEmpty());
  EXPECT_EQ(book->Cells(0).size(), 8u);
}

TEST(XlsxStream, MalformedMarkupAndDoctypesNameThePart) {
  auto broken = OpenParts(OneSheetPackage("<row r=\"1\"><c r=\"A1\"><v>1</v></row>"));
  std::string what = ErrorOf([&] { broken->Cells(0); });
  EXPECT_EQ(what.rfind(std::string(kCorrupt) + "（part xl/worksheets/sheet1.xml: ", 0), 0u) << what;
  EXPECT_NE(what.find("at line 1, column"), std::string::npos) << what;

  Parts dtd_sheet = OneSheetPackage("");
  dtd_sheet[3].second =
      "<!DOCTYPE worksheet [<!ENTITY a \"aaaa\">]><worksheet><sheetData>"
      "<row><c t=\"inlineStr\"><is><t>&a;</t></is></c></row></sheetData>"
      "</worksheet>";
  auto dtd = OpenParts(dtd_sheet);
  EXPECT_EQ(
      ErrorOf([&] { dtd->Cells(0); }),
      std::string(kCorrupt) + "（part xl/worksheets/sheet1.xml has a document type declaration）");

  Parts dtd_strings = OneSheetPackage("", "<si><t>x</t></si>");
  dtd_strings.back().second = "<!DOCTYPE sst [<!ENTITY b \"bbbb\">]><sst><si><t>&b;</t></si></sst>";
  EXPECT_EQ(
      ErrorOf([&] { OpenParts(dtd_strings); }),
      std::string(kCorrupt) + "（part xl/sharedStrings.xml has a document type declaration）");
}

TEST(XlsxStream, ASheetOfTheFormatsFullHeightIsRead) {
  std::string rows;
  rows.reserve(std::size_t{kTallRows} * 40);
  for (std::uint32_t r = 1; r < kTallRows; ++r) {
    rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" +
            std::to_string(r) + "</v></c></row>";
  }
  rows += "<row r=\"1048576\"><c r=\"XFD1048576\" t=\"s\"><v>0</v></c></row>";
  auto book = OpenParts(OneSheetPackage(rows, "<si><t>last</t></si>"));
  rows = std::string();
  const CellStore& cells = book->Cells(0);
  EXPECT_EQ(cells.size(), std::size_t{kTallRows});
  EXPECT_EQ(Cell(*book, 0, "A1"), Variant::Number(1));
  EXPECT_EQ(Cell(*book, 0, ("A" + std::to_string(kTallRows - 1)).c_str()),
            Variant::Number(kTallRows - 1));
  EXPECT_EQ(Cell(*book, 0, "XFD1048576"), Variant::String("last"));
}

TEST(XlsxStream, CellsShowingOneSharedStringHoldItOnce) {
  auto book = OpenParts(OneSheetPackage(
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>0</v></c>"
      "<c r=\"C1\" t=\"inlineStr\"><is><t>long text</t></is></c></row>",
      "<si><t>long text</t></si>"));
  const CellStore& cells = book->Cells(0);
  const Variant* a = cells.Find(0, 0);
  const Variant* b = cells.Find(0, 1);
  const Variant* c = cells.Find(0, 2);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->shared_string().get(), b->shared_string().get());
  // An inline string has a text of its own, and still equals the shared one.
  EXPECT_NE(a->shared_string().get(), c->shared_string().get());
  EXPECT_EQ(*a, *c);
  EXPECT_NE(*a, Variant::String("long tex"));
}

TEST(XlsxStream, ASheetBeyondItsBudgetIsRefusedByName) {
  std::string rows;
  for (int r = 1; r <= 100; ++r) {
    rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) +
            "\" t=\"s\"><v>0</v></c><c r=\"B" + std::to_string(r) +
            "\" t=\"inlineStr\"><is><t>0123456789</t></is></c></row>";
  }
  Parts parts = OneSheetPackage(rows, "<si><t>a shared text, counted once</t></si>");
  // 100 shared-string cells and 100 own texts of 10 bytes: 200 cells and 1000 bytes of text.
  auto fits = OpenParts(parts);
  fits->set_sheet_budget(200 * kCellBudgetBytes + 1000);
  EXPECT_EQ(fits->Cells(0).size(), 200u);

  auto over = OpenParts(parts);
  over->set_sheet_budget(200 * kCellBudgetBytes + 999);
  EXPECT_EQ(ErrorOf([&] { over->Cells(0); }),
            std::string(kTooLarge) + "（sheet 'S': its cells take more than " +
                std::to_string(200 * kCellBudgetBytes + 999) + " bytes at cell B100, " +
                std::to_string(kCellBudgetBytes) + " bytes a cell）");
}

Parts TwoSheetPackage() {
  Parts parts = OneSheetPackage("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
  parts[1].second =
      std::string("<workbook xmlns=\"") + kMainNs +
      "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
      "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>"
      "<sheet name=\"T\" sheetId=\"2\" r:id=\"rId3\"/></sheets></workbook>";
  parts[2].second = std::string("<Relationships xmlns=\"") + kRelsNs +
                    "\"><Relationship Id=\"rId1\" Type=\"" + kRelType +
                    "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId3\" "
                    "Type=\"" +
                    kRelType + "worksheet\" Target=\"worksheets/sheet2.xml\"/></Relationships>";
  parts.push_back({"xl/worksheets/sheet2.xml",
                   std::string("<worksheet xmlns=\"") + kMainNs +
                       "\"><sheetData><row r=\"1\"><c r=\"A1\"><v>2</v></c></row></sheetData>"
                       "</worksheet>"});
  return parts;
}

TEST(BookRelease, IdleSheetsAreDroppedAndReadAgainButEditsAndHoldersKeepThem) {
  auto book = OpenParts(TwoSheetPackage());
  ASSERT_EQ(book->sheets().size(), 2u);
  book->Cells(0);
  book->Cells(1);
  book->ReleaseIdleCells(1);
  EXPECT_FALSE(book->IsLoaded(0));
  EXPECT_TRUE(book->IsLoaded(1));
  EXPECT_EQ(Cell(*book, 0, "A1"), Variant::Number(1));  // read again from the package

  book->Pin(0);
  book->ReleaseIdleCells(1);
  EXPECT_TRUE(book->IsLoaded(0));
  book->Unpin(0);
  book->ReleaseIdleCells(1);
  EXPECT_FALSE(book->IsLoaded(0));

  // An edit is never lost to a release: the file does not have it.
  book->SetCell(0, 0, 0, Variant::String("edited"));
  book->ReleaseIdleCells(1);
  EXPECT_TRUE(book->IsLoaded(0));
  EXPECT_EQ(Cell(*book, 0, "A1"), Variant::String("edited"));
  book->ReleaseIdleCells(0);
  EXPECT_FALSE(book->IsLoaded(1));
  EXPECT_EQ(Cell(*book, 1, "A1"), Variant::Number(2));
}

}  // namespace
