// The .xls reader over workbook streams built record by record: every cell record, cached
// formula results, sheet kinds and visibility, the active tab, BIFF5 code pages, and the
// hostile inputs that must end in a BookError with the exact reason.
#include <gtest/gtest.h>

#include <string>

#include "engine/book.h"
#include "tests/engine/biff_test_builder.h"

namespace ledgerix::engine {
namespace {

using namespace testing;

std::unique_ptr<Book> Open(const std::string& stream, const std::string& name = "t.xls") {
  return OpenBookFromMemory(name, stream);
}

Variant At(Book& book, int sheet, const char* a1) {
  std::uint32_t row, col;
  EXPECT_TRUE(ParseA1(a1, &row, &col)) << a1;
  const Variant* v = book.Cells(sheet).Find(row, col);
  return v ? *v : Variant();
}

std::string ErrorOf(const std::string& stream, int sheet_to_read = -1) {
  try {
    auto book = Open(stream);
    if (sheet_to_read >= 0) book->Cells(sheet_to_read);
  } catch (const BookError& e) {
    return e.what();
  }
  return "(no error)";
}

std::string Sst(const std::vector<std::string>& strings, std::uint32_t unique) {
  std::string payload = U32(unique) + U32(unique);
  for (const std::string& s : strings) payload += s;
  return Rec(0x00FC, payload);
}

std::string LabelSst(unsigned row, unsigned col, std::uint32_t index) {
  return Rec(0x00FD, Cell(row, col) + U32(index));
}

std::string Formula(unsigned row, unsigned col, const std::string& result) {
  return Rec(0x0006, Cell(row, col) + result + U16(0) + U32(0) + U16(3) + "\x1E\x01\x00");
}
std::string SpecialResult(unsigned type, unsigned value) {
  return U8(type) + U8(0) + U8(value) + U8(0) + U8(0) + U8(0) + U16(0xFFFF);
}

TEST(XlsReader, ReadsEveryCellRecordAsValue2) {
  std::string body =
      Number(0, 0, 1234.5) +
      Rec(0x027E, Cell(0, 1) + U32((static_cast<std::uint32_t>(-20) << 2) | 0x02)) +  // RK -20
      Rec(0x027E, Cell(0, 2) + U32((12345u << 2) | 0x03)) +                           // 123.45
      // MULRK B2:D2 = 1, 2.5 (as a double with the x100 flag: 250/100), 3
      Rec(0x00BD, U16(1) + U16(1) + U16(15) + U32((1u << 2) | 2) + U16(15) + U32((250u << 2) | 3) +
                      U16(15) + U32((3u << 2) | 2) + U16(3)) +
      LabelSst(2, 0, 1) + Rec(0x0204, Cell(2, 1) + Str16(u"标签")) +
      Rec(0x00D6, Cell(2, 2) + Str8("rich") + U16(1) + U16(0) + U16(0)) +
      Rec(0x0205, Cell(3, 0) + U8(1) + U8(0)) +     // TRUE
      Rec(0x0205, Cell(3, 1) + U8(0x07) + U8(1)) +  // #DIV/0!
      Rec(0x0205, Cell(3, 2) + U8(0x2A) + U8(1)) +  // #N/A
      Rec(0x0201, Cell(4, 0)) + Rec(0x00BE, U16(4) + U16(1) + U16(15) + U16(15) + U16(2));
  std::string sst = Sst({Str8("first"), Str16(u"资产负债表")}, 2);
  auto book = Open(Workbook({{"Sheet1", 0, 0, body}}, sst));
  EXPECT_EQ(book->format(), "BIFF8");
  EXPECT_EQ(At(*book, 0, "A1"), Variant::Number(1234.5));
  EXPECT_EQ(At(*book, 0, "B1"), Variant::Number(-20));
  EXPECT_EQ(At(*book, 0, "C1"), Variant::Number(123.45));
  EXPECT_EQ(At(*book, 0, "B2"), Variant::Number(1));
  EXPECT_EQ(At(*book, 0, "C2"), Variant::Number(2.5));
  EXPECT_EQ(At(*book, 0, "D2"), Variant::Number(3));
  EXPECT_EQ(At(*book, 0, "A3"), Variant::String("资产负债表"));
  EXPECT_EQ(At(*book, 0, "B3"), Variant::String("标签"));
  EXPECT_EQ(At(*book, 0, "C3"), Variant::String("rich"));
  EXPECT_EQ(At(*book, 0, "A4"), Variant::Boolean(true));
  EXPECT_EQ(At(*book, 0, "B4"), Variant::Error(CellError::Div0));
  EXPECT_EQ(At(*book, 0, "C4"), Variant::Error(CellError::NA));
  EXPECT_TRUE(At(*book, 0, "A5").IsEmpty());  // BLANK and MULBLANK hold no value
  EXPECT_TRUE(At(*book, 0, "C5").IsEmpty());
  EXPECT_EQ(book->Cells(0).size(), 12u);
}

TEST(XlsReader, FormulaCachedResults) {
  std::string body = Formula(0, 0, F64(2469)) +
                     // A string result: its STRING record may come after SHRFMLA/ARRAY records.
                     Formula(1, 0, SpecialResult(0, 0)) + Rec(0x04BC, std::string(10, '\0')) +
                     Rec(0x0207, Str16(u"纳税人元")) + Formula(2, 0, SpecialResult(1, 1)) +
                     Formula(3, 0, SpecialResult(2, 0x17)) + Formula(4, 0, SpecialResult(3, 0)) +
                     // A long cached string continued in a CONTINUE record with 16-bit characters.
                     Formula(5, 0, SpecialResult(0, 0)) + Rec(0x0207, U16(4) + U8(0) + "ab") +
                     Rec(0x003C, U8(1) + Utf16(u"汉字"));
  auto book = Open(Workbook({{"Sheet1", 0, 0, body}}, ""));
  EXPECT_EQ(At(*book, 0, "A1"), Variant::Number(2469));
  EXPECT_EQ(At(*book, 0, "A2"), Variant::String("纳税人元"));
  EXPECT_EQ(At(*book, 0, "A3"), Variant::Boolean(true));
  EXPECT_EQ(At(*book, 0, "A4"), Variant::Error(CellError::Ref));
  EXPECT_EQ(At(*book, 0, "A5"), Variant::String(""));  // empty string, not an empty cell
  EXPECT_EQ(At(*book, 0, "A6"), Variant::String("ab汉字"));
}

TEST(XlsReader, WorksheetsOnlyWithVisibilityAndActiveTab) {
  std::vector<TestSheet> sheets = {
      {"Data", 0, 0, Number(0, 0, 1)},
      {"Chart1", 0, 2, "", 0x20},
      {"Hidden", 1, 0, Number(0, 0, 2)},
      {"Macro1", 0, 1, "", 0x40},
      {"Dialog1", 0, 0, Rec(0x0081, U16(0x0411))},  // WSBOOL with fDialog
      {"VeryHidden", 2, 0, Number(0, 0, 3)},
      {"Last", 0, 0, Rec(0x0081, U16(0x0401)) + Number(0, 0, 4)},
  };
  auto book = Open(Workbook(sheets, Window1(6)));
  ASSERT_EQ(book->sheets().size(), 4u);
  EXPECT_EQ(book->sheets()[0].name, "Data");
  EXPECT_EQ(book->sheets()[1].name, "Hidden");
  EXPECT_EQ(book->sheets()[1].visible, xlSheetHidden);
  EXPECT_EQ(book->sheets()[2].name, "VeryHidden");
  EXPECT_EQ(book->sheets()[2].visible, xlSheetVeryHidden);
  EXPECT_EQ(book->sheets()[3].visible, xlSheetVisible);
  EXPECT_EQ(book->active_sheet(), 3);  // tab 6 counts the chart, macro and dialog sheets
  EXPECT_EQ(At(*book, 0, "A1"), Variant::Number(1));
  EXPECT_EQ(At(*book, 3, "A1"), Variant::Number(4));
  EXPECT_EQ(At(*book, 2, "A1"), Variant::Number(3));

  // The saved active tab is the chart sheet: the first visible worksheet stands in.
  auto on_chart = Open(Workbook(
      {{"Hidden", 1, 0, ""}, {"Chart1", 0, 2, "", 0x20}, {"Shown", 0, 0, ""}}, Window1(1)));
  EXPECT_EQ(on_chart->active_sheet(), 1);
  auto without_window = Open(Workbook({{"A", 0, 0, ""}, {"B", 0, 0, ""}}, ""));
  EXPECT_EQ(without_window->active_sheet(), 0);
}

TEST(XlsReader, DateModeAndSheetsReadOnlyWhenAsked) {
  // The second sheet's substream is broken, yet the first reads: sheets load on first use.
  std::string stream =
      Workbook({{"Good", 0, 0, Number(0, 0, 39814)}, {"Bad", 0, 0, ""}}, Rec(0x0022, U16(1)));
  stream.resize(stream.size() - 4);  // drop the last sheet's EOF
  auto book = Open(stream);
  EXPECT_TRUE(book->date1904());
  EXPECT_EQ(At(*book, 0, "A1"), Variant::Number(39814));
  EXPECT_THROW(book->Cells(1), BookError);
}

TEST(XlsReader, Biff5TextFollowsTheCodePage) {
  // 利润表 and 中文 in GBK.
  std::string body = Rec(0x0204, Cell(0, 0) + U16(6) + "\xC0\xFB\xC8\xF3\xB1\xED") +
                     Formula(1, 0, SpecialResult(0, 0)) + Rec(0x0207, U16(4) + "\xD6\xD0\xCE\xC4");
  auto gbk = Open(Workbook({{"\xB1\xED\x31", 0, 0, body}}, Rec(0x0042, U16(936)), "", true));
  EXPECT_EQ(gbk->format(), "BIFF5");
  EXPECT_EQ(gbk->sheets()[0].name, "表1");
  EXPECT_EQ(At(*gbk, 0, "A1"), Variant::String("利润表"));
  EXPECT_EQ(At(*gbk, 0, "A2"), Variant::String("中文"));

  // No CODEPAGE record: GBK is assumed.
  auto guessed = Open(Workbook({{"S", 0, 0, body}}, "", "", true));
  EXPECT_EQ(At(*guessed, 0, "A1"), Variant::String("利润表"));

  // CP1252 declared: the same bytes are Latin text.
  auto western = Open(Workbook({{"S", 0, 0, body}}, Rec(0x0042, U16(1252)), "", true));
  EXPECT_EQ(At(*western, 0, "A2"), Variant::String("ÖÐÎÄ"));

  // Declared GBK but a lead byte without trail byte: the cell cannot be decoded.
  std::string broken = Rec(0x0204, Cell(0, 0) + U16(1) + "\xD6");
  auto bad = Open(Workbook({{"S", 0, 0, broken}}, Rec(0x0042, U16(936)), "", true));
  EXPECT_THROW(bad->Cells(0), BookError);
}

TEST(XlsReader, Biff2WorksheetIsOneSheetNamedAfterTheFile) {
  std::string stream = Rec(0x0009, U16(2) + U16(0x10)) +
                       Rec(0x0002, U16(0) + U16(0) + std::string(3, '\0') + U16(42)) +
                       Rec(0x0004, U16(1) + U16(0) + std::string(3, '\0') + U8(3) + "abc") +
                       Rec(0x0003, U16(2) + U16(0) + std::string(3, '\0') + F64(0.5)) + Eof();
  auto book = Open(stream, "/data/年报.xls");
  EXPECT_EQ(book->format(), "BIFF2");
  ASSERT_EQ(book->sheets().size(), 1u);
  EXPECT_EQ(book->sheets()[0].name, "年报");
  EXPECT_EQ(At(*book, 0, "A1"), Variant::Number(42));
  EXPECT_EQ(At(*book, 0, "A2"), Variant::String("abc"));
  EXPECT_EQ(At(*book, 0, "A3"), Variant::Number(0.5));
}

TEST(XlsReaderHostile, EncryptedWorkbook) {
  // Encrypted workbooks are decrypted now; one whose verifier no password matches is refused
  // as one with an unknown password, naming the file.
  std::string rc4 = Rec(0x002F, U16(1) + U16(1) + U16(1) + std::string(48, '\0'));
  EXPECT_EQ(ErrorOf(Workbook({{"S", 0, 0, ""}}, rc4)), "工作簿“t.xls”已加密，密码不正确");
  std::string xor_method = Rec(0x002F, U16(0) + U16(0x1234) + U16(0x5678));
  EXPECT_EQ(ErrorOf(Workbook({{"S", 0, 0, ""}}, xor_method)), "工作簿“t.xls”已加密，密码不正确");
}

TEST(XlsReaderHostile, SharedStringIndexPastTheTable) {
  // The SST claims 40 strings but holds 2: the two are kept, the index past them fails.
  std::string stream = Workbook({{"S", 0, 0, LabelSst(0, 0, 1) + LabelSst(3, 2, 912)}},
                                Sst({Str8("a"), Str8("b")}, 40));
  auto book = Open(stream);
  std::size_t label = stream.rfind(LabelSst(3, 2, 912));
  EXPECT_EQ(
      ErrorOf(stream, 0), std::string(kCorrupt) + "（record LABELSST at offset 0x" + [&] {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%zX", label);
        return std::string(hex);
      }() + ": string index 912 past a table of 2）");
  // A count of zero with strings present: the strings are still there.
  auto zero = Open(Workbook({{"S", 0, 0, LabelSst(0, 0, 1)}}, Sst({Str8("a"), Str8("b")}, 0)));
  EXPECT_EQ(At(*zero, 0, "A1"), Variant::String("b"));
  // A count of four billion reserves nothing beyond what the record can hold, and reads the
  // strings that are there.
  auto huge = Open(Workbook({{"S", 0, 0, LabelSst(0, 0, 0)}}, Sst({Str8("x")}, 0xFFFFFFFF)));
  EXPECT_EQ(At(*huge, 0, "A1"), Variant::String("x"));
  // A string announced by the count but cut short is corruption.
  std::string cut = Sst({Str8("a"), U16(10) + U8(0) + "abc"}, 2);
  EXPECT_NE(ErrorOf(Workbook({{"S", 0, 0, ""}}, cut)).find("record SST"), std::string::npos);
}

TEST(XlsReaderHostile, BrokenStructure) {
  std::string good = Workbook({{"S", 0, 0, Number(0, 0, 1)}}, "");
  // Truncated between records, and inside a record.
  EXPECT_NE(ErrorOf(good.substr(0, 33)).find("stream ends at 0x21 before its EOF record"),
            std::string::npos);
  EXPECT_NE(ErrorOf(good.substr(0, 30)).find("record BOUNDSHEET at offset 0x14: length 9 runs"),
            std::string::npos);
  // A record longer than the stream.
  std::string overlong = good.substr(0, 20) + U16(0x00FC) + U16(0xFFFF) + "xx";
  EXPECT_NE(ErrorOf(overlong).find("record SST at offset 0x14: length 65535 runs past the end"),
            std::string::npos);
  // BOUNDSHEET pointing past the end of the stream.
  std::string past = good;
  past.replace(24, 4, U32(0x7FFFFFF0));
  EXPECT_NE(ErrorOf(past).find("record BOUNDSHEET at offset 0x14: sheet \"S\" starts at "
                               "0x7FFFFFF0, past the end"),
            std::string::npos);
  // BOUNDSHEET pointing at something that is not a BOF.
  std::string misplaced = good;
  misplaced.replace(24, 4, U32(4));
  EXPECT_NE(ErrorOf(misplaced).find("no BOF record at the sheet offset 0x4"), std::string::npos);
  // A cell record too short for its fields fails the sheet, naming the record.
  std::string short_cell = Workbook({{"S", 0, 0, Rec(0x0203, Cell(0, 0) + "abc")}}, "");
  EXPECT_NE(ErrorOf(short_cell, 0).find("record NUMBER at offset"), std::string::npos);
  EXPECT_NE(ErrorOf(Workbook({{"S", 0, 0, Rec(0x00BD, U16(0) + U16(0) + U8(1))}}, ""), 0)
                .find("record MULRK"),
            std::string::npos);
  // Not a workbook at all, and a worksheet where the globals belong.
  EXPECT_EQ(ErrorOf("hello world"), kNotAWorkbook);
}

}  // namespace
}  // namespace ledgerix::engine
