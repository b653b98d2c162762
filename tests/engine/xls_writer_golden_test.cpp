// One small template patched by the .xls writer, its every record written out by hand: what
// each rebuilt field must hold after one new string lands in a new row. Readers such as xlrd
// and LibreOffice ignore most of these fields; Excel and the tax clients use them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/book.h"
#include "engine/xls_writer.h"
#include "tests/engine/biff_test_builder.h"
#include "tests/engine/xls_writer_support.h"

namespace ledgerix::engine {
namespace {

using namespace testing;  // NOLINT: the builders and checks

struct Expected {
  std::uint16_t id;
  std::string payload;
  const char* what;
};

// The first record where the stream and the list part, or "" when they agree throughout.
std::string FirstDifference(std::string_view stream, const std::vector<Expected>& want) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    std::string where =
        "record " + std::to_string(i) + " (" + want[i].what + ") at " + std::to_string(pos) + ": ";
    if (stream.size() - pos < 4) return where + "stream ends";
    std::uint16_t id = Get16(stream, pos), size = Get16(stream, pos + 2);
    if (id != want[i].id) return where + "id " + std::to_string(id);
    if (size != want[i].payload.size()) return where + "length " + std::to_string(size);
    std::string_view got = stream.substr(pos + 4, size);
    for (std::size_t k = 0; k < size; ++k) {
      if (got[k] != want[i].payload[k]) {
        return where + "byte " + std::to_string(k) + " is " +
               std::to_string(static_cast<unsigned char>(got[k])) + ", not " +
               std::to_string(static_cast<unsigned char>(want[i].payload[k]));
      }
    }
    pos += 4 + size;
  }
  // Then only the zeros that lift a short stream to 4096 bytes, out of the small-block store.
  if (stream.size() != std::max<std::size_t>(pos, 4096)) {
    return "stream of " + std::to_string(stream.size()) + " bytes after records ending at " +
           std::to_string(pos);
  }
  if (stream.find_first_not_of('\0', pos) != std::string_view::npos) {
    return "byte " + std::to_string(stream.find_first_not_of('\0', pos)) + " after the records";
  }
  return "";
}

const std::string kBofPayload = Bof8(0x0005).substr(4);
std::string SheetBof() { return Bof8(0x10).substr(4); }
std::string RecalcId() { return U16(0x01C1) + U16(0) + U32(0); }
std::string Row(unsigned row, unsigned first, unsigned last) {
  return U16(row) + U16(first) + U16(last) + U16(0x00FF) + U32(0) + U16(0x0100) + U16(15);
}
std::string LabelSst(unsigned row, unsigned col, std::uint32_t isst) {
  return U16(row) + U16(col) + U16(15) + U32(isst);
}
std::string Boundsheet(std::uint32_t at) {
  return U32(at) + U8(0) + U8(0) + U8(4) + U8(0) + "Data";
}

// Globals: BOF, RECALCID, SST of one string, EXTSST; one sheet with INDEX, DEFCOLWIDTH,
// DIMENSIONS, one ROW holding A1 (a LABELSST), DBCELL and WINDOW2. Its offsets are right.
std::string Template() {
  std::string body = Rec(0x020B, U32(0) + U32(0) + U32(1) + U32(20 + 16 + 4 + 20 + 24) + U32(0)) +
                     Rec(0x0055, U16(8)) + Rec(0x0200, U32(0) + U32(1) + U16(0) + U16(1) + U16(0)) +
                     Rec(0x0208, Row(0, 0, 1)) + Rec(0x00FD, LabelSst(0, 0, 0)) +
                     Rec(0x00D7, U32(34) + U16(0)) + Rec(0x023E, std::string(18, '\0'));
  std::string globals = Rec(0x01C1, RecalcId()) + Rec(0x00FC, U32(1) + U32(1) + Str8("old")) +
                        Rec(0x00FF, U16(8) + U32(32 + 12) + U16(12) + U16(0));
  std::string stream = Workbook({{"Data", 0, 0, body}}, globals);
  // The INDEX above was written for the sheet's own start; put the stream offsets in.
  std::uint32_t sheet = Get32(stream, 20 + 12 + 18 + 14 + 4);
  std::size_t index = sheet + 20;
  std::string fixed = U32(sheet + 20 + 24) + U32(sheet + 20 + 24 + 6 + 18 + 20 + 14);
  stream.replace(index + 4 + 12, 8, fixed);
  return stream;
}

TEST(XlsWriterGolden, TemplateExpectsWhatItHolds) {
  // The template itself passes the checks the patched file must pass, so a failure below is
  // the writer's.
  EXPECT_EQ(OffsetProblems(Template()), std::vector<std::string>{});
}

TEST(XlsWriterGolden, NewStringInNewRowRebuildsEveryField) {
  std::string in = Template();
  XlsCellWrite w;
  w.row = 1;
  w.col = 1;
  w.value = Variant::String("new");
  std::uint32_t sheet = Get32(in, 20 + 12 + 18 + 14 + 4);
  std::string out = PatchXlsStream(in, {XlsSheetWrites{sheet, {w}}});

  // Globals: SST 24 bytes at 32, EXTSST 14 at 56, BOUNDSHEET 16 at 70, EOF at 86; the sheet at
  // 90: BOF 20, INDEX 24 at 110, DEFCOLWIDTH 6 at 134, DIMENSIONS 18 at 140, ROWs 20 at 158 and
  // 178, LABELSSTs 14 at 198 and 212, DBCELL 12 at 226, WINDOW2 22 at 238, EOF at 260.
  std::vector<Expected> want = {
      {0x0809, kBofPayload, "globals BOF"},
      {0x01C1, RecalcId(), "RECALCID"},
      // Two references in all, two distinct strings.
      {0x00FC, U32(2) + U32(2) + Str8("old") + Str8("new"), "SST"},
      // Eight strings a bucket; the bucket's first string 12 bytes into the SST at 32.
      {0x00FF, U16(8) + U32(44) + U16(12) + U16(0), "EXTSST"},
      {0x0085, Boundsheet(90), "BOUNDSHEET"},
      {0x000A, "", "globals EOF"},
      {0x0809, SheetBof(), "sheet BOF"},
      // Rows 0 to 2 (exclusive); DEFCOLWIDTH at 134; the one DBCELL at 226.
      {0x020B, U32(0) + U32(0) + U32(2) + U32(134) + U32(226), "INDEX"},
      {0x0055, U16(8), "DEFCOLWIDTH"},
      {0x0200, U32(0) + U32(2) + U16(0) + U16(2) + U16(0), "DIMENSIONS"},
      {0x0208, Row(0, 0, 1), "ROW 0"},
      // The new row: B only, default height, flags with the bit that must be set.
      {0x0208, Row(1, 1, 2), "ROW 1"},
      {0x00FD, LabelSst(0, 0, 0), "LABELSST A1"},
      {0x00FD, LabelSst(1, 1, 1), "LABELSST B2"},
      // Back 68 bytes to ROW 0; A1 20 bytes past ROW 0's end, B2 14 past A1.
      {0x00D7, U32(68) + U16(20) + U16(14), "DBCELL"},
      {0x023E, std::string(18, '\0'), "WINDOW2"},
      {0x000A, "", "sheet EOF"},
  };
  EXPECT_EQ(FirstDifference(out, want), "");
  EXPECT_EQ(OffsetProblems(out), std::vector<std::string>{});
}

// The offset checker on the patched file with one rebuilt field spoilt at a time: each kind of
// damage is named.
TEST(XlsWriterGolden, OffsetCheckerNamesEachSpoiltField) {
  std::string in = Template();
  XlsCellWrite w;
  w.row = 1;
  w.col = 1;
  w.value = Variant::String("new");
  const std::string good = PatchXlsStream(in, {XlsSheetWrites{Get32(in, 68), {w}}});
  ASSERT_EQ(OffsetProblems(good), std::vector<std::string>{});
  struct Spoil {
    std::size_t at;  // stream offset of the field
    std::string value;
    const char* problem;
  };
  const Spoil spoils[] = {
      {32 + 4, U32(1), "SST counts 1 of 2 LABELSST cells"},
      {56 + 4 + 2, U32(45) + U16(13), "EXTSST bucket 0 at 45, its string at 44"},
      {70 + 4, U32(91), "BOUNDSHEET offset 91 is no substream"},
      {110 + 4 + 12, U32(140), "INDEX DEFCOLWIDTH field 140"},
      {110 + 4 + 16, U32(238), "INDEX entry 238"},
      {140 + 4 + 4, U32(1), "DIMENSIONS 0:1 x 0:2 miss cells in rows 0:2 columns 0:2"},
      {178 + 4 + 12, U16(0), "ROW 1 flags 0 lack 0x100"},
      {226 + 4, U32(50), "DBCELL at 226 points at no ROW"},
      {226 + 4 + 4, U16(0), "DBCELL at 226 cell offset 0 reaches 178, row 0 starts at 198"},
      {226 + 4 + 6, U16(0), "DBCELL at 226 cell offset 1 reaches 198, row 1 starts at 212"},
  };
  for (const Spoil& s : spoils) {
    std::string bad = good;
    bad.replace(s.at, s.value.size(), s.value);
    EXPECT_EQ(OffsetProblems(bad), std::vector<std::string>{s.problem}) << s.problem;
  }
}

// BIFF8 holds the classic errors and #GETTING_DATA only; a later error is refused by name
// rather than written as a code Excel 97-2003 cannot read.
TEST(XlsWriterGolden, ErrorsBiff8CannotHoldAreRefusedByName) {
  std::string in = Template();
  std::uint32_t sheet = Get32(in, 20 + 12 + 18 + 14 + 4);
  auto write = [&](CellError e) {
    XlsCellWrite w;
    w.row = 0;
    w.col = 3;
    w.value = Variant::Error(e);
    return PatchXlsStream(in, {XlsSheetWrites{sheet, {w}}});
  };
  for (CellError e : {CellError::Spill, CellError::Calc, CellError::Busy}) {
    try {
      write(e);
      ADD_FAILURE() << CellErrorText(e) << " was written";
    } catch (const BookError& error) {
      EXPECT_EQ(std::string(error.what()), std::string(kUnsupported) + "（错误值 " +
                                               CellErrorText(e) + " 无法保存到 .xls 文件）");
    }
  }
  std::string out = write(CellError::GettingData);
  std::unique_ptr<Book> book = OpenBookFromMemory("out.xls", out);
  EXPECT_EQ(AllCells(*book)["Data"]["D1"], Variant::Error(CellError::GettingData));
}

}  // namespace
}  // namespace ledgerix::engine
