// The .xls writer on hand-built BIFF8 streams (every record kind it rewrites) and on the
// fixture workbooks saved by real applications, read back by our reader and by xlrd.
#include "engine/xls_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/book.h"
#include "engine/ole2_container.h"
#include "tests/engine/biff_test_builder.h"
#include "tests/engine/xls_writer_support.h"
#include "tests/outside_tools.h"

namespace ledgerix::engine {
namespace {

using namespace testing;  // NOLINT: the builders and checks

std::string Row(unsigned row, unsigned first, unsigned last, unsigned flags, unsigned xf) {
  return Rec(0x0208, U16(row) + U16(first) + U16(last) + U16(255) + U32(0) + U16(flags) + U16(xf));
}
std::string Xf(unsigned row, unsigned col, unsigned xf) { return U16(row) + U16(col) + U16(xf); }
std::string Rk(int v) { return U32(static_cast<std::uint32_t>(v) << 2 | 2); }

// A sheet with ROW records (row 2 formatted), INDEX and DBCELL, a COLINFO for columns F:G,
// a MULRK, a MULBLANK, a string formula with its STRING, and in B3 the first cell of a shared
// formula (SHRFMLA) or of an array formula (ARRAY) that no other cell uses.
std::string SheetBody(bool array) {
  std::string formula_string =
      Rec(0x0006, Xf(0, 4, 25) + U8(0) + std::string(5, '\0') + U16(0xFFFF) + U16(0) + U32(0) +
                      U16(3) + U8(0x1E) + U16(1)) +
      Rec(0x0207, Str8("cached"));
  std::string shared_anchor =
      Rec(0x0006, Xf(2, 1, 15) + F64(7) + U16(0) + U32(0) + U16(5) + U8(0x01) + U16(2) + U16(1)) +
      (array ? Rec(0x0221,
                   U16(2) + U16(2) + U8(1) + U8(1) + U16(0) + U32(0) + U16(3) + U8(0x1E) + U16(7))
             : Rec(0x04BC,
                   U16(2) + U16(2) + U8(1) + U8(1) + U8(0) + U8(1) + U16(3) + U8(0x1E) + U16(7)));
  return Rec(0x020B, U32(0) + U32(0) + U32(3) + U32(0) + U32(0)) +
         Rec(0x007D, U16(5) + U16(6) + U16(2000) + U16(20) + U16(0) + U16(0)) +
         Rec(0x0200, U32(0) + U32(3) + U16(0) + U16(5) + U16(0)) + Row(0, 0, 5, 0x0100, 15) +
         Row(1, 0, 3, 0x0180, 30) + Row(2, 0, 2, 0x0100, 15) +
         Rec(0x00BD,
             U16(0) + U16(0) + U16(21) + Rk(1) + U16(22) + Rk(2) + U16(23) + Rk(3) + U16(2)) +
         Rec(0x00FD, Xf(0, 3, 24) + U32(0)) + formula_string +
         Rec(0x00BE, U16(1) + U16(0) + U16(26) + U16(27) + U16(1)) +
         Rec(0x0203, Xf(1, 2, 28) + F64(2.5)) + Rec(0x0205, Xf(2, 0, 29) + U8(1) + U8(0)) +
         shared_anchor + Rec(0x00D7, U32(0) + U16(0) + U16(0) + U16(0)) +
         Rec(0x023E, std::string(18, '\0'));
}

std::string Globals() {
  return Rec(0x00FC, U32(1) + U32(2) + Str8("alpha") + Str16(u"中文")) +
         Rec(0x00FF, U16(8) + U32(0) + U16(0) + U16(0));
}

std::string HandBuilt(bool array = false) {
  return Workbook({{"Data", 0, 0, SheetBody(array)}, {"Other", 0, 0, Number(0, 0, 9.5)}}, "",
                  Globals());
}

std::uint32_t SheetOffset(std::string_view stream, int index) {
  int k = 0;
  for (const RawRecord& r : RawRecords(stream, 0)) {
    if (r.id == 0x0085 && k++ == index) return Get32(r.payload, 0);
  }
  return 0;
}

std::vector<XlsSheetWrites> WritesFor(std::string_view stream, std::vector<XlsCellWrite> cells) {
  return {XlsSheetWrites{SheetOffset(stream, 0), std::move(cells)}};
}

XlsCellWrite At(const char* a1, Variant v) {
  XlsCellWrite w;
  EXPECT_TRUE(ParseA1(a1, &w.row, &w.col));
  w.value = std::move(v);
  return w;
}

TEST(XlsWriter, WritesEveryValueKindKeepingFormatsAndOffsets) {
  std::string stream = HandBuilt();
  std::string out = PatchXlsStream(
      stream, WritesFor(stream, {
                                    At("A1", Variant::String("alpha")),         // in the MULRK
                                    At("D1", Variant()),                        // LABELSST cleared
                                    At("E1", Variant::Number(42)),              // string formula
                                    At("A2", Variant::Boolean(true)),           // in the MULBLANK
                                    At("D2", Variant::Error(CellError::Div0)),  // formatted row
                                    At("F3", Variant::Number(1e10)),            // COLINFO column
                                    At("H3", Variant::String("新的文本")),      // plain new cell
                                    At("A6", Variant::Number(-3)),              // a new row
                                    At("J9", Variant()),                        // clears nothing
                                    At("K9", Variant::Number(HUGE_VAL)),        // no such number
                                }));
  EXPECT_EQ(OffsetProblems(out), std::vector<std::string>{});

  std::unique_ptr<Book> book = OpenBookFromMemory("out.xls", out);
  BookCells cells = AllCells(*book);
  std::map<std::string, Variant> expected = {{"A1", Variant::String("alpha")},
                                             {"B1", Variant::Number(2)},
                                             {"C1", Variant::Number(3)},
                                             {"E1", Variant::Number(42)},
                                             {"A2", Variant::Boolean(true)},
                                             {"C2", Variant::Number(2.5)},
                                             {"D2", Variant::Error(CellError::Div0)},
                                             {"A3", Variant::Boolean(true)},
                                             {"B3", Variant::Number(7)},
                                             {"F3", Variant::Number(1e10)},
                                             {"H3", Variant::String("新的文本")},
                                             {"A6", Variant::Number(-3)},
                                             {"K9", Variant::Error(CellError::Num)}};
  EXPECT_EQ(cells["Data"], expected);
  EXPECT_EQ(cells["Other"], (std::map<std::string, Variant>{{"A1", Variant::Number(9.5)}}));

  std::vector<RawRecord> sheet = RawRecords(out, SheetOffset(out, 0));
  auto formats = CellFormats(sheet);
  auto xf = [&](unsigned row, unsigned col) { return formats[{row, col}].xf; };
  EXPECT_EQ(xf(0, 0), 21);  // overwritten cells keep their format
  EXPECT_EQ(xf(0, 1), 22);
  EXPECT_EQ(xf(0, 2), 23);
  EXPECT_EQ(xf(0, 3), 24);
  EXPECT_EQ((formats[{0, 3}].id), 0x0201);  // cleared, but formatted: BLANK
  EXPECT_EQ(xf(0, 4), 25);
  EXPECT_EQ((formats[{0, 4}].id), 0x0203);
  EXPECT_EQ(xf(1, 0), 26);
  EXPECT_EQ(xf(1, 1), 27);
  EXPECT_EQ(xf(1, 3), 30);  // the row's format
  EXPECT_EQ(xf(2, 5), 20);  // the column's format
  EXPECT_EQ(xf(2, 7), 15);  // neither
  EXPECT_EQ(xf(5, 0), 15);
  EXPECT_EQ((formats.count({8, 9})), 0u);

  int strings = 0, shared = 0, rows = 0;
  for (const RawRecord& r : sheet) {
    strings += r.id == 0x0207;
    shared += r.id == 0x04BC;
    if (r.id == 0x0208) {
      ++rows;
      if (Get16(r.payload, 0) == 5) {
        EXPECT_EQ(Get16(r.payload, 2), 0);  // columns A to A
        EXPECT_EQ(Get16(r.payload, 4), 1);
      }
      if (Get16(r.payload, 0) == 2) {
        EXPECT_EQ(Get16(r.payload, 4), 8);  // now up to H
      }
    }
    if (r.id == 0x0200) {
      EXPECT_EQ(Get32(r.payload, 0), 0u);
      EXPECT_EQ(Get32(r.payload, 4), 9u);
      EXPECT_EQ(Get16(r.payload, 8), 0);
      EXPECT_EQ(Get16(r.payload, 10), 11);
    }
  }
  EXPECT_EQ(strings, 0);  // the written formula's cached string went with it
  EXPECT_EQ(shared, 1);
  EXPECT_EQ(rows, 5);

  // "alpha" is shared with the table; the new text is appended after the two old strings.
  for (const RawRecord& r : RawRecords(out, 0)) {
    if (r.id == 0x00FC) {
      EXPECT_EQ(Get32(r.payload, 4), 3u);
    }
  }
}

TEST(XlsWriter, ArrayFormulasCannotBeChangedInPartAnUnusedSharedOneGoes) {
  std::string array = HandBuilt(true);
  try {
    PatchXlsStream(array, WritesFor(array, {At("B3", Variant::Number(1))}));
    FAIL() << "wrote into an array formula";
  } catch (const BookError& e) {
    EXPECT_NE(std::string(e.what()).find("B3"), std::string::npos) << e.what();
  }

  std::string stream = HandBuilt();
  std::string out = PatchXlsStream(stream, WritesFor(stream, {At("B3", Variant::Number(1))}));
  for (const RawRecord& r : RawRecords(out, SheetOffset(out, 0))) EXPECT_NE(r.id, 0x04BC);
  EXPECT_EQ(*OpenBookFromMemory("out.xls", out)->Cells(0).Find(2, 1), Variant::Number(1));
}

TEST(XlsWriter, RefusesCellsOutsideTheGridAndOtherFormats) {
  std::string stream = HandBuilt();
  EXPECT_THROW(PatchXlsStream(stream, WritesFor(stream, {At("IW1", Variant::Number(1))})),
               BookError);
  EXPECT_THROW(PatchXlsStream(stream, WritesFor(stream, {At("A65537", Variant::Number(1))})),
               BookError);
  std::string biff5 = Workbook({{"S", 0, 0, Number(0, 0, 1)}}, "", "", true);
  EXPECT_THROW(PatchXlsStream(biff5, {}), BookError);
  std::string encrypted =
      Workbook({{"S", 0, 0, Number(0, 0, 1)}}, Rec(0x002F, U16(1) + U16(1) + std::string(52, 0)));
  EXPECT_THROW(PatchXlsStream(encrypted, {}), BookError);
}

TEST(XlsWriter, MalformedCellRecordsFailTheSaveCleanly) {
  for (const std::string& run :
       {Rec(0x00BD, U16(0) + U16(0) + U16(0)),  // MULRK of no cells
        Rec(0x00BE, U16(0) + U16(1) + U16(15) + U8(0)), Rec(0x0208, U16(0) + U16(0))}) {
    std::string stream = Workbook({{"S", 0, 0, Rec(0x0200, std::string(14, '\0')) + run}}, "");
    EXPECT_THROW(PatchXlsStream(stream, WritesFor(stream, {At("B1", Variant::Number(1))})),
                 BookError);
  }
}

// Enough text to spread the string table over many CONTINUE records, with strings, 16-bit
// characters and their option bytes crossing the record boundaries.
TEST(XlsWriter, LargeStringTableIsSplitIntoContinueRecords) {
  std::string stream = HandBuilt();
  std::vector<XlsCellWrite> writes;
  std::map<std::string, Variant> expected;
  for (unsigned i = 0; i < 3000; ++i) {
    XlsCellWrite w;
    w.row = 100 + i / 4;
    w.col = i % 4;
    std::string text = (i % 3 == 0 ? "纳税人名称第" : "Latin text number ") + std::to_string(i) +
                       std::string(i % 37, 'x');
    w.value = Variant::String(text);
    expected[FormatA1(w.row, w.col)] = w.value;
    writes.push_back(w);
  }
  std::string out = PatchXlsStream(stream, WritesFor(stream, writes));
  EXPECT_EQ(OffsetProblems(out), std::vector<std::string>{});
  int continues = 0;
  for (const RawRecord& r : RawRecords(out, 0)) {
    EXPECT_LE(r.payload.size(), 8224u);
    continues += r.id == 0x003C;
  }
  EXPECT_GT(continues, 5);

  std::unique_ptr<Book> book = OpenBookFromMemory("big.xls", out);
  BookCells cells = AllCells(*book);
  for (const auto& [address, value] : expected) EXPECT_EQ(cells["Data"][address], value) << address;
  EXPECT_EQ(cells["Data"]["C1"], Variant::Number(3));
}

// The class id of a compound file's root storage (the first directory entry).
std::string RootClassId(const std::string& file) {
  std::size_t sector = std::size_t{1} << Get16(file, 0x1E);
  std::size_t entry = 512 + static_cast<std::size_t>(Get32(file, 0x30)) * sector;
  return file.size() < entry + 0x60 ? "" : file.substr(entry + 0x50, 16);
}

class XlsWriterFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "ledgerix-xlsw-XXXXXX");
    dir_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  static std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::filesystem::path dir_;
};

// Workbooks saved by LibreOffice and by xlwt: written cells change, nothing else does, for our
// reader and for xlrd; the compound file keeps its other streams.
TEST_F(XlsWriterFiles, FixturesFromRealWritersReadBackEverywhere) {
  std::vector<std::string> outputs;
  std::map<std::string, BookCells> expected;
  for (const char* name : {"lo_biff8.xls", "xlwt.xls"}) {
    std::string source = std::string(LEDGERIX_TEST_DATA) + "/xls/" + name;
    std::unique_ptr<Book> book = OpenBook(source);
    BookCells cells = AllCells(*book);
    const std::string& first = book->sheets()[0].name;
    book->SetCell(0, 0, 0, Variant::String("改写"));
    book->SetCell(0, 1, 1, Variant::Number(-0.125));
    book->SetCell(0, 300, 20, Variant::Boolean(false));
    book->SetCell(0, 3, 0, Variant());
    cells[first]["A1"] = Variant::String("改写");
    cells[first]["B2"] = Variant::Number(-0.125);
    cells[first]["U301"] = Variant::Boolean(false);
    cells[first].erase("A4");
    std::string out = (dir_ / name).string();
    book->Save(out);
    book.reset();

    std::string bytes = Read(out);
    EXPECT_EQ(OffsetProblems(ReadWorkbookStream(bytes)), std::vector<std::string>{});
    EXPECT_EQ(AllCells(*OpenBook(out)), cells) << name;
    outputs.push_back(out);
    expected[out] = cells;

    std::string original = Read(source);
    EXPECT_EQ(RootClassId(bytes), RootClassId(original)) << name;
    Ole2Container before(original), after(bytes);
    EXPECT_EQ(before.StreamNames(), after.StreamNames());
    for (const std::string& stream : before.StreamNames()) {
      if (stream == "Workbook") continue;
      EXPECT_EQ(before.Read(before.Find(stream), original.size()),
                after.Read(after.Find(stream), bytes.size()))
          << stream;
    }
  }
  std::map<std::string, BookCells> xlrd = XlrdCells(outputs);
  for (const std::string& out : outputs) EXPECT_EQ(xlrd[out], expected[out]) << out;
}

TEST_F(XlsWriterFiles, SavesOverItsOwnFileAndTwiceAlike) {
  std::filesystem::path path = dir_ / "book.xls";
  std::filesystem::copy_file(std::string(LEDGERIX_TEST_DATA) + "/xls/lo_biff8.xls", path);
  std::unique_ptr<Book> book = OpenBook(path.string());
  book->SetCell(0, 2, 2, Variant::Number(123.5));
  book->Save(path.string());
  std::string first = Read(path);
  book->Save(path.string());
  EXPECT_EQ(Read(path), first);
  EXPECT_EQ(*OpenBook(path.string())->Cells(0).Find(2, 2), Variant::Number(123.5));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left behind
}

TEST_F(XlsWriterFiles, AFailedSaveLeavesTheTargetAsItWas) {
  std::filesystem::path path = dir_ / "target.xls";
  std::ofstream(path) << "old content";
  std::unique_ptr<Book> book = OpenBookFromMemory("hand.xls", HandBuilt(true));
  book->SetCell(0, 2, 1, Variant::Number(1));  // in an array formula
  EXPECT_THROW(book->Save(path.string()), BookError);
  EXPECT_EQ(Read(path), "old content");
  EXPECT_THROW(book->Save((dir_ / "missing" / "x.xls").string()), BookError);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            1);
}

// LibreOffice's B1:B3 = A*2 is one shared formula stored with B1. Writing B1 moves it to B2;
// LibreOffice recalculates on open, so B2 follows the new A2 while B3 keeps its formula.
TEST_F(XlsWriterFiles, FormulasLeftInPlaceAreRecalculatedByLibreOffice) {
  std::unique_ptr<Book> book =
      OpenBook(std::string(LEDGERIX_TEST_DATA) + "/xls_writer/lo_formulas.xls");
  book->SetCell(0, 0, 1, Variant::String("不再是公式"));
  book->SetCell(0, 1, 0, Variant::Number(50));
  std::filesystem::path out = dir_ / "formulas.xls";
  book->Save(out.string());
  EXPECT_EQ(OffsetProblems(ReadWorkbookStream(Read(out))), std::vector<std::string>{});
  BookCells cells = AllCells(*OpenBook(out.string()));
  EXPECT_EQ(cells["S"]["B1"], Variant::String("不再是公式"));
  EXPECT_EQ(cells["S"]["B2"], Variant::Number(10));  // the cached result as saved
  EXPECT_EQ(cells["S"]["B3"], Variant::Number(14));

  std::string command = "cd '" + dir_.string() + "' && soffice -env:UserInstallation=file://" +
                        dir_.string() +
                        "/profile --headless --norestore --convert-to 'csv:Text - txt - csv "
                        "(StarCalc):44,34,76,1,,0,true,true,false,false,false,1' formulas.xls "
                        ">/dev/null 2>&1";
  ASSERT_EQ(ledgerix::testing::RunTool(command), 0) << command;
  ASSERT_TRUE(ledgerix::testing::ToolWrote("soffice --convert-to csv", {dir_ / "formulas-S.csv"}));
  EXPECT_EQ(Read(dir_ / "formulas-S.csv"), "1,\"不再是公式\"\n50,100\n7,14\n");
}

TEST_F(XlsWriterFiles, OtherFormatsAreRefusedWithAReason) {
  for (const char* name : {"gnumeric_biff7.xls", "lo.xlsx"}) {
    std::unique_ptr<Book> book = OpenBook(std::string(LEDGERIX_TEST_DATA) + "/xls/" + name);
    book->SetCell(0, 0, 0, Variant::Number(1));
    std::filesystem::path out = dir_ / name;
    try {
      book->Save(out.string());
      ADD_FAILURE() << name << " was saved";
    } catch (const BookError& e) {
      EXPECT_NE(std::string(e.what()).find(book->format()), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

}  // namespace
}  // namespace ledgerix::engine
