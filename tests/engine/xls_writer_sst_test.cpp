// The shared string table of a filing workbook filled again and again: strings no cell uses any
// more leave the table, every LABELSST (in written sheets and untouched ones) still means its
// text, and the table's two counts match what a record walk and xlrd find.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "engine/book.h"
#include "engine/ole2_container.h"
#include "engine/xls_writer.h"
#include "tests/engine/biff_test_builder.h"
#include "tests/engine/xls_writer_support.h"

namespace ledgerix::engine {
namespace {

using namespace testing;  // NOLINT: the builders and checks

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct TableCounts {
  std::uint32_t total = 0;       // the SST's own count of references
  std::uint32_t unique = 0;      // its count of strings
  std::size_t strings = 0;       // strings the records really hold
  std::uint32_t labels = 0;      // LABELSST records of every sheet
  std::set<std::uint32_t> used;  // string indexes those records use
};

// The counts by walking the records, independently of the writer's code.
TableCounts CountsOf(std::string_view stream) {
  TableCounts c;
  std::vector<RawRecord> globals = RawRecords(stream, 0);
  std::vector<std::uint32_t> starts;
  for (const RawRecord& r : globals) {
    if (r.id == 0x00FC) c.total = Get32(r.payload, 0);
  }
  EXPECT_TRUE(SstStringStarts(globals, &starts, &c.unique));
  c.strings = starts.size();
  for (const RawRecord& g : globals) {
    if (g.id != 0x0085) continue;
    for (const RawRecord& r : RawRecords(stream, Get32(g.payload, 0))) {
      if (r.id != 0x00FD) continue;
      ++c.labels;
      c.used.insert(Get32(r.payload, 6));
    }
  }
  return c;
}

class XlsWriterStrings : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "ledgerix-xlss-XXXXXX");
    dir_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

// Twenty statements converted one after another into the same filing workbook, each with its
// own texts of the same lengths: the file stops growing after the first, the strings the
// previous statement left go, and the template's own strings stay.
TEST_F(XlsWriterStrings, FillingTheSameWorkbookAgainKeepsItsSize) {
  std::filesystem::path path = dir_ / "filing.xls";
  std::filesystem::copy_file(
      std::string(LEDGERIX_SOURCE_DIR) + "/resources/templates/地税目标小企业会计制度报表.xls",
      path);
  TableCounts before = CountsOf(ReadWorkbookStream(ReadFile(path)));
  std::vector<std::uintmax_t> sizes;
  BookCells last;
  for (int round = 0; round < 20; ++round) {
    std::unique_ptr<Book> book = OpenBook(path.string());
    char tag[8];
    std::snprintf(tag, sizeof tag, "%03d", round);
    for (std::uint32_t i = 0; i < 60; ++i) {
      std::string text = "纳税人第" + std::string(tag) + "号项目" + std::to_string(100 + i);
      book->SetCell(0, 40 + i / 4, i % 4, Variant::String(text));
      book->SetCell(0, 60 + i / 4, i % 4, Variant::Number(round * 1000 + i));
    }
    // One text every round, and a cell cleared: the string it held goes too.
    book->SetCell(0, 80, 0, Variant::String("每次相同"));
    book->SetCell(0, 81, 0, round % 2 ? Variant() : Variant::String("偶数轮" + std::string(tag)));
    book->Save(path.string());
    sizes.push_back(std::filesystem::file_size(path));
    if (round == 19) last = AllCells(*book);
  }
  for (std::size_t r = 1; r < sizes.size(); ++r) {
    EXPECT_LE(sizes[r], sizes[0]) << "after " << r + 1 << " fillings";
  }

  std::string stream = ReadWorkbookStream(ReadFile(path));
  EXPECT_EQ(OffsetProblems(stream), std::vector<std::string>{});
  TableCounts after = CountsOf(stream);
  EXPECT_EQ(after.total, after.labels);
  EXPECT_EQ(after.unique, after.strings);
  // Only the strings the template holds without using them are unused.
  EXPECT_EQ(after.strings - after.used.size(), before.strings - before.used.size());
  // The last statement's 60 texts and the one repeated every round, at most.
  EXPECT_LE(after.strings, before.strings + 61);

  EXPECT_EQ(AllCells(*OpenBook(path.string())), last);
  std::map<std::string, BookCells> xlrd = XlrdCells({path.string()});
  EXPECT_EQ(xlrd[path.string()], last);
}

// A string dropped from the table moves every later one down: the LABELSST records of a sheet
// nobody wrote to are renumbered with the written sheet's.
TEST(XlsWriterStringTable, UntouchedSheetsAreRenumberedWithTheTable) {
  std::string globals = Rec(0x00FC, U32(3) + U32(4) + Str8("gone") + Str8("kept") +
                                        Str8("never used") + Str8("other sheet"));
  std::string first = Rec(0x0200, U32(0) + U32(2) + U16(0) + U16(1) + U16(0)) +
                      Rec(0x00FD, Cell(0, 0) + U32(0)) + Rec(0x00FD, Cell(1, 0) + U32(1));
  std::string second =
      Rec(0x0200, U32(0) + U32(1) + U16(0) + U16(1) + U16(0)) + Rec(0x00FD, Cell(0, 0) + U32(3));
  std::string stream = Workbook({{"A", 0, 0, first}, {"B", 0, 0, second}}, globals);
  std::uint32_t sheet = BoundSheetOffset(stream);
  XlsCellWrite w;
  w.row = 0;
  w.col = 0;
  w.value = Variant::Number(5);
  std::string out = PatchXlsStream(stream, {XlsSheetWrites{sheet, {w}}});

  TableCounts counts = CountsOf(out);
  EXPECT_EQ(counts.total, 2u);
  EXPECT_EQ(counts.unique, 3u);
  EXPECT_EQ(counts.strings, 3u);
  BookCells cells = AllCells(*OpenBookFromMemory("out.xls", out));
  EXPECT_EQ(cells["A"], (std::map<std::string, Variant>{{"A1", Variant::Number(5)},
                                                        {"A2", Variant::String("kept")}}));
  EXPECT_EQ(cells["B"], (std::map<std::string, Variant>{{"A1", Variant::String("other sheet")}}));
  EXPECT_EQ(OffsetProblems(out, false), std::vector<std::string>{});

  // A LABELSST past the table: nothing can be renumbered safely, so nothing is dropped.
  std::string broken = Workbook(
      {{"A", 0, 0, first}, {"B", 0, 0, second + Rec(0x00FD, Cell(1, 0) + U32(9))}}, globals);
  sheet = BoundSheetOffset(broken);
  out = PatchXlsStream(broken, {XlsSheetWrites{sheet, {w}}});
  counts = CountsOf(out);
  EXPECT_EQ(counts.unique, 4u);
  EXPECT_EQ(counts.total, 3u);
}

// Some writers put a cell down twice, a blank run over the row and the text later; readers take
// the later record, and no blank hides a value. Writing another cell of that run must not bring
// the blank back over the text.
TEST(XlsWriterStringTable, ALaterRecordForACellWinsOverTheRunBeforeIt) {
  std::string globals = Rec(0x00FC, U32(2) + U32(2) + Str8("title") + Str8("note"));
  std::string body = Rec(0x0200, U32(0) + U32(2) + U16(0) + U16(6) + U16(0)) +
                     Rec(0x00BE, U16(0) + U16(0) + U16(21) + U16(21) + U16(21) + U16(21) + U16(3)) +
                     Rec(0x00FD, Cell(0, 2) + U32(0)) + Rec(0x00FD, Cell(0, 3) + U32(1)) +
                     Rec(0x0201, Cell(0, 3)) + Rec(0x0203, Cell(1, 5) + F64(4));
  std::string stream = Workbook({{"S", 0, 0, body}}, globals);
  std::unique_ptr<Book> book = OpenBookFromMemory("in.xls", stream);
  BookCells before = AllCells(*book);
  ASSERT_EQ(before["S"], (std::map<std::string, Variant>{{"C1", Variant::String("title")},
                                                         {"D1", Variant::String("note")},
                                                         {"F2", Variant::Number(4)}}));
  std::uint32_t sheet = BoundSheetOffset(stream);
  XlsCellWrite w;
  w.row = 0;
  w.col = 0;
  w.value = Variant::Number(1);
  std::string out = PatchXlsStream(stream, {XlsSheetWrites{sheet, {w}}});
  before["S"]["A1"] = Variant::Number(1);
  EXPECT_EQ(AllCells(*OpenBookFromMemory("out.xls", out)), before);
  // One record a cell now: the run became single cells, D1's later BLANK gave way to its text.
  TableCounts counts = CountsOf(out);
  EXPECT_EQ(counts.unique, 2u);
  EXPECT_EQ(counts.total, 2u);
  std::map<std::pair<unsigned, unsigned>, int> records;
  std::vector<RawRecord> cells = RawRecords(out, BoundSheetOffset(out));
  ASSERT_FALSE(cells.empty());
  for (const RawRecord& r : cells) {
    if (r.depth == 1 && IsCellRecordId(r.id)) ++records[{Get16(r.payload, 0), Get16(r.payload, 2)}];
  }
  for (const auto& [cell, n] : records) EXPECT_EQ(n, 1) << cell.first << "," << cell.second;
  EXPECT_EQ(OffsetProblems(out, false), std::vector<std::string>{});
}

}  // namespace
}  // namespace ledgerix::engine
