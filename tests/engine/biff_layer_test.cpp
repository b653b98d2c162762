// The record layer on its own: substream splitting, the bounded cursor, strings across
// CONTINUE records, and code pages.
#include <gtest/gtest.h>

#include <string>

#include "engine/biff_codepage.h"
#include "engine/biff_cursor.h"
#include "engine/book.h"
#include "tests/engine/biff_test_builder.h"
#include "tests/engine/book_error.h"

namespace ledgerix::engine {
namespace {

using namespace testing;

TEST(BiffSubstream, SplitsRecordsUpToTheClosingEofAcrossNestedSubstreams) {
  std::string stream = Bof8(0x10) + Number(0, 0, 1) + Bof8(0x20) + Eof() + Number(1, 0, 2) + Eof() +
                       "trailing bytes after the substream";
  biff::Substream sub;
  biff::ReadSubstream(stream, 0, &sub);
  ASSERT_EQ(sub.records.size(), 6u);
  EXPECT_EQ(sub.records[2].id, 0x0809);
  EXPECT_EQ(sub.records[5].id, 0x000A);
  EXPECT_EQ(sub.records[1].offset, 20u);  // after the 4 + 16 byte BOF
  EXPECT_EQ(sub.records[1].size, 14u);
}

TEST(BiffSubstream, RejectsTruncationAndOverlongRecordsWithTheirOffsets) {
  biff::Substream sub;
  std::string whole = Bof8(0x10) + Number(0, 0, 1) + Eof();
  EXPECT_EQ(ErrorOf([&] { biff::ReadSubstream(whole.substr(0, whole.size() - 4), 0, &sub); }),
            std::string(kCorrupt) +
                "（substream at offset 0x0: stream ends at 0x26 before its EOF record）");
  std::string overlong = Bof8(0x10) + U16(0x0203) + U16(500) + "short";
  EXPECT_EQ(ErrorOf([&] { biff::ReadSubstream(overlong, 0, &sub); }),
            std::string(kCorrupt) +
                "（record NUMBER at offset 0x14: length 500 runs past the end of a 29-byte "
                "stream）");
  EXPECT_NE(ErrorOf([&] {
              biff::ReadSubstream(Number(0, 0, 1) + Eof(), 0, &sub);
            }).find("expected a BOF record"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { biff::ReadSubstream(whole, 4000, &sub); }).find("past the end"),
            std::string::npos);
}

TEST(BiffCursor, NeverReadsIntoTheNextRecord) {
  std::string stream = Rec(0x00FD, U16(1) + U16(2)) + Rec(0x0203, F64(5));
  biff::Record first{0x00FD, 4, 0};
  biff::RecordCursor c(stream, first);
  EXPECT_EQ(c.U16(), 1);
  EXPECT_EQ(c.U16(), 2);
  EXPECT_EQ(ErrorOf([&] { c.U32(); }),
            std::string(kCorrupt) +
                "（record LABELSST at offset 0x0: needs 2 more bytes at payload position 4 of 4）");
}

// records: SST-like head record then CONTINUEs; returns the text read as one string.
std::string ReadContinued(const std::string& head, const std::vector<std::string>& continues,
                          std::size_t count, bool high_byte) {
  std::string stream = Rec(0x00FC, head);
  for (const std::string& c : continues) stream += Rec(0x003C, c);
  biff::Substream sub;
  sub.records.push_back({0x00FC, static_cast<std::uint16_t>(head.size()), 0});
  std::uint32_t pos = static_cast<std::uint32_t>(head.size() + 4);
  for (const std::string& c : continues) {
    sub.records.push_back({0x003C, static_cast<std::uint16_t>(c.size()), pos});
    pos += static_cast<std::uint32_t>(c.size() + 4);
  }
  biff::ContinuedReader r(stream, sub.records, 0);
  std::string text;
  r.AppendChars(count, high_byte, &text);
  return text;
}

TEST(BiffContinuedReader, StringsSwitchCharacterWidthAtEachContinue) {
  // "ab" 8-bit, then a CONTINUE restarting with 16-bit "税金", then 8-bit "cd".
  EXPECT_EQ(ReadContinued("ab", {U8(1) + Utf16(u"税金"), U8(0) + "cd"}, 6, false), "ab税金cd");
  // 16-bit first, then 8-bit Latin-1 (é is 0xE9).
  EXPECT_EQ(ReadContinued(Utf16(u"汉"), {U8(0) + "\xE9"}, 2, true), "汉é");
  // An empty CONTINUE is passed over; a lone byte at the end of a CONTINUE is dropped.
  EXPECT_EQ(ReadContinued(Utf16(u"汉") + "\x00", {"", U8(1) + Utf16(u"字")}, 2, true), "汉字");
  // A surrogate pair cut by a CONTINUE still makes one character (U+1D11E).
  EXPECT_EQ(ReadContinued(U16(0xD834), {U8(1) + U16(0xDD1E)}, 2, true), "\xF0\x9D\x84\x9E");
  EXPECT_NE(ErrorOf([] {
              ReadContinued("ab", {}, 3, false);
            }).find("string runs past its record and CONTINUE records"),
            std::string::npos);
}

TEST(BiffCodePage, MapsCodePagesAndDecodesGbk) {
  EXPECT_STREQ(biff::IconvNameForCodePage(936), "GBK");
  EXPECT_STREQ(biff::IconvNameForCodePage(1252), "CP1252");
  EXPECT_STREQ(biff::IconvNameForCodePage(10000), "MACINTOSH");
  EXPECT_STREQ(biff::IconvNameForCodePage(1200), "UTF-16LE");
  EXPECT_EQ(biff::IconvNameForCodePage(12345), nullptr);

  biff::CodePageDecoder gbk;
  ASSERT_TRUE(gbk.SetCodePage(936));
  std::string out;
  ASSERT_TRUE(gbk.Decode("\xD6\xD0\xCE\xC4", &out));  // 中文
  EXPECT_EQ(out, "中文");
  out.clear();
  EXPECT_FALSE(gbk.Decode("\xD6", &out));  // a lead byte without its trail byte
}

TEST(BiffCodePage, WithoutCodePageRecordTriesGbkThenCp1252) {
  biff::CodePageDecoder guess;
  std::string out;
  ASSERT_TRUE(guess.Decode("\xC0\xFB\xC8\xF3\xB1\xED", &out));  // 利润表 in GBK
  EXPECT_EQ(out, "利润表");
  out.clear();
  ASSERT_TRUE(guess.Decode("caf\xE9", &out));  // not GBK: CP1252 é
  EXPECT_EQ(out, "café");
  out.clear();
  ASSERT_TRUE(guess.Decode("\x80 5", &out));  // 0x80 alone is no GBK; CP1252 euro sign
  EXPECT_EQ(out, "€ 5");
}

TEST(BiffCodePage, MacRomanAndCp1251) {
  biff::CodePageDecoder mac;
  ASSERT_TRUE(mac.SetCodePage(10000));
  std::string out;
  ASSERT_TRUE(mac.Decode("\x8E", &out));  // é in Mac Roman
  EXPECT_EQ(out, "é");
  biff::CodePageDecoder cyrillic;
  ASSERT_TRUE(cyrillic.SetCodePage(1251));
  out.clear();
  ASSERT_TRUE(cyrillic.Decode("\xC4\xE0", &out));
  EXPECT_EQ(out, "Да");
}

}  // namespace
}  // namespace ledgerix::engine
