#include "convert/common/cell_rules.h"

#include <gtest/gtest.h>

#include <charconv>

#include "bridges/companion.h"
#include "convert/common/xml_line_writer.h"
#include "tests/convert/fake_sheet.h"
#include "tests/convert/test_files.h"

namespace ledgerix {
namespace {

using testing::FakeSheet;
using testing::ReadFileBytes;
using testing::TempFolder;

TEST(CellText, NumbersAsTheServerFormatsThem) {
  EXPECT_EQ(CellText(Variant::Number(1234.5)), "1234.5");
  EXPECT_EQ(CellText(Variant::Number(100.0)), "100");
  EXPECT_EQ(CellText(Variant::Number(-20.0)), "-20");
  EXPECT_EQ(CellText(Variant::Number(-0.0)), "0");
  EXPECT_EQ(CellText(Variant::Number(0.1 + 0.2)), "0.3");  // 15 significant digits
  EXPECT_EQ(CellText(Variant::Number(39814)), "39814");    // a date stays its serial
  EXPECT_EQ(CellText(Variant::Number(123456789012345.0)), "123456789012345");
  EXPECT_EQ(CellText(Variant::Number(1e16)), "1E+16");
  EXPECT_EQ(CellText(Variant::Number(0.000123)), "0.000123");
}

TEST(CellText, OtherKinds) {
  EXPECT_EQ(CellText(Variant()), "");
  EXPECT_EQ(CellText(Variant::String(" 原样 ")), " 原样 ");
  EXPECT_EQ(CellText(Variant::Boolean(true)), "-1");
  EXPECT_EQ(CellText(Variant::Boolean(false)), "0");
  EXPECT_THROW(CellText(Variant::Error(CellError::NA)), AutomationError);
}

TEST(CellText, ErrorValueNamesSheetCellAndError) {
  FakeSheet sheet("资产负债表");
  sheet.Set("C7", Variant::Error(CellError::Div0));
  try {
    ReadCellText(sheet, "C7");
    FAIL() << "no error raised";
  } catch (const AutomationError& e) {
    std::string what = e.what();
    EXPECT_NE(what.find("资产负债表"), std::string::npos) << what;
    EXPECT_NE(what.find("C7"), std::string::npos) << what;
    EXPECT_NE(what.find("#DIV/0!"), std::string::npos) << what;
  }
}

TEST(HeaderRules, SpacesAndColons) {
  EXPECT_EQ(SpaceFreeText(" a b\u3000c\td "), "ab\u3000c\td");
  EXPECT_EQ(HeaderValue("纳税人识别号: 1234 5678 9012 345"), "123456789012345");
  EXPECT_EQ(HeaderValue("纳税人识别号：1234 5678 9012 345"), "123456789012345");
  EXPECT_EQ(HeaderValue("无冒号 的文本"), "无冒号的文本");
  EXPECT_EQ(HeaderValue("甲：乙：丙"), "乙：丙");
  EXPECT_EQ(HeaderValue("标签："), "");
}

TEST(CompactDate, PositionalRuleCountsCharacters) {
  EXPECT_EQ(CompactDate("2008-01-01"), "20080101");
  EXPECT_EQ(CompactDate("2008年01月01日"), "20080101");
  EXPECT_EQ(CompactDate("20080101"), "200810");  // positional: 1-4, 6-7, 9-10
  EXPECT_EQ(CompactDate(""), "");
  EXPECT_EQ(CompactDate("2008-1"), "20081");
}

TEST(CompactDate, UnpaddedDatesArePadded) {
  EXPECT_EQ(CompactDate("2008-1-1"), "20080101");
  EXPECT_EQ(CompactDate("2008年1月1日"), "20080101");
  EXPECT_EQ(CompactDate("2008/12/1"), "20081201");
  // Not three runs of 4, 1-2, 1-2 digits: the positional rule stands.
  EXPECT_EQ(CompactDate("08-1-1"), "08-11");
  EXPECT_EQ(CompactDate("2008-1-1-1"), "20081--1");
}

TEST(PeriodDates, SplitAtTheFirstTo) {
  PeriodDates p = SplitPeriod("2008-01-01 至 2008-03-31");
  EXPECT_EQ(p.start, "20080101");
  EXPECT_EQ(p.end, "20080331");
  p = SplitPeriod("2008年01月01日至2008年03月31日");
  EXPECT_EQ(p.start, "20080101");
  EXPECT_EQ(p.end, "20080331");
  p = SplitPeriod("2008-03-31");
  EXPECT_EQ(p.start, "");
  EXPECT_EQ(p.end, "20080331");
}

TEST(OutputNames, UnsafeCharactersReplaced) {
  EXPECT_EQ(SafeFileNamePart("../../etc/passwd"), ".._.._etc_passwd");
  EXPECT_EQ(SafeFileNamePart("a\\b:c*d?e\"f<g>h|i"), "a_b_c_d_e_f_g_h_i");
  EXPECT_EQ(SafeFileNamePart("tab\there\u0085"), "tab_here_");
  EXPECT_EQ(SafeFileNamePart("资产 负债-2008.1"), "资产 负债-2008.1");
  EXPECT_EQ(OutputPath("/save/", "x.xml"), "/save/x.xml");
}

TEST(TodayStamp, UsesTheInjectedClock) {
  std::tm day{};
  day.tm_year = 2009 - 1900;
  day.tm_mon = 2;
  day.tm_mday = 15;
  day.tm_hour = 12;
  auto fixed = std::chrono::system_clock::from_time_t(std::mktime(&day));
  SetTodayClock([fixed] { return fixed; });
  EXPECT_EQ(TodayStamp(), "20090315");
  SetTodayClock({});
  EXPECT_EQ(TodayStamp().size(), 8u);
}

TEST(Gbk, EncodesAndKeepsWhatGbkLacks) {
  EXPECT_EQ(fnCStringToAnsi("资产"), "\xD7\xCA\xB2\xFA");
  EXPECT_EQ(fnCStringToAnsi("a\xF0\xA0\x80\x80z"), "a&#131072;z");  // U+20000
  EXPECT_EQ(fnCStringToAnsi("\xFF"), "?");
  EXPECT_EQ(fnCStringToAnsi("资\xFF产\xF0\x9F\x98\x80x"), "\xD7\xCA?\xB2\xFA&#128512;x");
  EXPECT_EQ(fnIntToCString(42), "42");
}

class MemorySink : public LineSink {
 public:
  explicit MemorySink(std::string* into) : into_(into) {}
  void Write(std::string_view bytes) override { pending_.append(bytes); }
  void Commit() override { *into_ = pending_; }

 private:
  std::string* into_;
  std::string pending_;
};

TEST(XmlLineWriter, LinesEscapingAndAmounts) {
  std::string bytes;
  XmlLineWriter out(std::make_unique<MemorySink>(&bytes));
  out.WriteLine("<A>");
  out.ElementLine("V", "a&b<c>\"d\"");
  out.ElementLine("E", "");
  out.AmountLine("N", "");
  out.AmountLine("S", " ");
  out.Close();
  EXPECT_EQ(bytes, "<A>\n<V>a&amp;b&lt;c&gt;\"d\"</V>\n<E></E>\n<N>0</N>\n<S> </S>\n");
  EXPECT_EQ(XmlEscape("\"x&y\"", true), "&quot;x&amp;y&quot;");
}

TEST(XmlLineWriter, FileAppearsOnlyWhenClosed) {
  TempFolder dir;
  std::string path = dir.folder() + "out.xml";
  testing::WriteFileBytes(path, "earlier\n");
  {
    XmlLineWriter out = XmlLineWriter::Create(path);
    out.WriteLine("<partial>");
    // Destroyed without Close, as when a conversion fails half way.
  }
  EXPECT_EQ(ReadFileBytes(path), "earlier\n");
  EXPECT_EQ(dir.FileCount(), 1u);

  OutputRecorder recorder;
  XmlLineWriter out = XmlLineWriter::Create(path);
  out.WriteLine("<done/>");
  out.Close();
  EXPECT_EQ(ReadFileBytes(path), "<done/>\n");
  EXPECT_EQ(dir.FileCount(), 1u);
  ASSERT_EQ(recorder.outputs().size(), 1u);
  EXPECT_EQ(recorder.outputs()[0], path);
}

TEST(XmlLineWriter, MissingFolderFailsAtFirstLine) {
  TempFolder dir;
  std::string path = dir.folder() + "missing/out.xml";
  XmlLineWriter out = XmlLineWriter::Create(path);  // silent, as promised
  try {
    out.WriteLine("x");
    FAIL() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace ledgerix

namespace ledgerix {
namespace {

// Amounts take a shortcut; it must give what the general 15-digit rule gives.
TEST(CellText, AmountShortcutAgreesWithTheGeneralRule) {
  auto general = [](double v) {
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 15);
    return std::string(buffer, end);
  };
  for (double v : {0.5, -0.5, 0.05, -0.07, 1234.5, 1234.56, -1234.56, 100.1, 99.99, 1e12 + 0.25,
                   -9999999999999.99, 0.01, 123456789.1, 2.675, 1.005, 0.1 + 0.2}) {
    EXPECT_EQ(CellText(Variant::Number(v)), general(v)) << v;
  }
  for (long long cents = -100000; cents <= 100000; cents += 7) {
    double v = static_cast<double>(cents) / 100;
    if (v != 0) {
      ASSERT_EQ(CellText(Variant::Number(v)), general(v)) << v;
    }
  }
}

}  // namespace
}  // namespace ledgerix
