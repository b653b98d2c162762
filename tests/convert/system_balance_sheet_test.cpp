#include <gtest/gtest.h>

#include "convert/converters.h"
#include "tests/convert/fake_sheet.h"
#include "tests/convert/test_files.h"

namespace ledgerix {
namespace {

using testing::FakeSheet;
using testing::ReadFileBytes;
using testing::TempFolder;

const std::string kGolden = std::string(LEDGERIX_TEST_DATA) + "/golden/kind1_zcfzb_system.xml";
const std::string kName = "ZCFZB_20080101_20080331_440106123456789_CRC.xml";

// The sheet behind kind1_zcfzb_system.xml (and tests/data/kind1/balance.xlsx).
void FillBalanceSheet(FakeSheet& s) {
  s.SetText("A1", "纳税人识别号: 4401 0612 3456 789");
  s.SetText("B2", "20080101");
  s.SetText("E2", "20080331");
  s.SetText("E1", "2008-04-15");
  s.SetText("B5", "资产");  // above the block: never written
  s.SetText("B6", "货币资金");
  s.SetNumber("C6", 1000.5);
  s.SetNumber("D6", 2000);
  s.SetText("B7", "   ");  // spaces only: skipped
  s.SetNumber("C7", 99);
  s.SetText("B8", " 短期投资");
  s.SetNumber("D8", -12.5);
  s.SetText("B9", "应收账款 & 票据");
  s.SetNumber("C9", 0);
  s.SetText("D9", "<x>");
  s.SetText("B42", "资产总计");
  s.SetNumber("C42", 1e6);
  s.SetNumber("D42", 1234567.891);
  s.SetText("B43", "不应出现");  // below the block
  s.SetText("F6", "短期借款");
  s.SetNumber("G6", 300);
  s.SetNumber("H6", 400);
  s.SetText("F40", "负债和所有者权益总计");
  s.Set("G40", Variant::Boolean(true));
}

TEST(SystemBalanceSheet, GoldenDocument) {
  TempFolder dir;
  FakeSheet sheet;
  FillBalanceSheet(sheet);
  EXPECT_EQ(ConvertSystemBalanceSheet(dir.folder(), sheet), 1);
  EXPECT_EQ(ReadFileBytes(dir.folder() + kName), ReadFileBytes(kGolden));
  EXPECT_EQ(dir.FileCount(), 1u);
}

TEST(SystemBalanceSheet, HeadersFirstThenEachValueJustBeforeItsLine) {
  TempFolder dir;
  FakeSheet sheet;
  FillBalanceSheet(sheet);
  ConvertSystemBalanceSheet(dir.folder(), sheet);
  const auto& reads = sheet.reads();
  ASSERT_GE(reads.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(reads.begin(), reads.begin() + 8),
            (std::vector<std::string>{"A1", "B2", "E2", "E1", "B6", "B6", "C6", "D6"}));
  // 37 key reads per side plus three value reads per written row (4 assets, 2 liabilities).
  EXPECT_EQ(reads.size(), 4u + 2 * 37 + 3 * 6);
}

TEST(SystemBalanceSheet, ErrorInBodyLeavesNoFileAndKeepsAnEarlierOne) {
  TempFolder dir;
  FakeSheet sheet;
  FillBalanceSheet(sheet);
  ConvertSystemBalanceSheet(dir.folder(), sheet);
  sheet.Set("D42", Variant::Error(CellError::NA));
  EXPECT_THROW(ConvertSystemBalanceSheet(dir.folder(), sheet), AutomationError);
  EXPECT_EQ(ReadFileBytes(dir.folder() + kName), ReadFileBytes(kGolden));
  EXPECT_EQ(dir.FileCount(), 1u);
}

TEST(SystemBalanceSheet, HeaderTextsCannotLeaveTheSaveFolder) {
  TempFolder dir;
  FakeSheet sheet;
  sheet.SetText("A1", "识别号:../x");
  sheet.SetText("B2", "2008/01/01");
  sheet.SetText("E2", "a&b");
  ConvertSystemBalanceSheet(dir.folder(), sheet);
  std::string name = "ZCFZB_2008_01_01_a&b_.._x_CRC.xml";
  std::string doc = ReadFileBytes(dir.folder() + name);
  EXPECT_NE(doc.find("CRC=\"ZCFZB_2008_01_01_a&amp;b_.._x_CRC.xml\""), std::string::npos);
  EXPECT_NE(doc.find("<SSSQ_Q>2008/01/01</SSSQ_Q>"), std::string::npos);
  // Empty blocks still carry the fixed COUNT.
  EXPECT_NE(doc.find("<SB_ZCFZB_ZC COUNT=\"32\">\n</SB_ZCFZB_ZC>"), std::string::npos);
}

TEST(SystemBalanceSheet, AHeaderTooLongForAFileNameNamesTheCellAndWritesNothing) {
  TempFolder dir;
  FakeSheet sheet("资产负债表");
  FillBalanceSheet(sheet);
  sheet.SetText("E2", std::string(240, '9'));  // 255 bytes would still fit; this does not
  try {
    ConvertSystemBalanceSheet(dir.folder(), sheet);
    ADD_FAILURE() << "a file name of more than 255 bytes was accepted";
  } catch (const AutomationError& e) {
    EXPECT_EQ(std::string(e.what()),
              "工作表“资产负债表”的单元格 E2 的内容太长（240 字节），用它组成的文件名有 "
              "279 字节，超过了文件名最长的 255 字节");
  }
  EXPECT_EQ(dir.FileCount(), 0u);
  // The longest name that fits is written.
  sheet.SetText("E2", std::string(216, '9'));
  ConvertSystemBalanceSheet(dir.folder(), sheet);
  EXPECT_EQ(dir.FileCount(), 1u);
}

TEST(SystemBalanceSheet, DatesGiveSerialNumbers) {
  TempFolder dir;
  FakeSheet sheet;
  sheet.SetText("A1", "纳税人识别号：440106123456789");
  sheet.SetNumber("B2", 39448);  // 2008-01-01
  sheet.SetNumber("E2", 39538);
  ConvertSystemBalanceSheet(dir.folder(), sheet);
  EXPECT_TRUE(std::filesystem::exists(dir.folder() + "ZCFZB_39448_39538_440106123456789_CRC.xml"));
}

}  // namespace
}  // namespace ledgerix
