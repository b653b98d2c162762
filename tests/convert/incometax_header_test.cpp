// The return's header cells: the taxpayer number of B5, the name of B4, the period of B3, and
// the file name they give.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "bridges/companion.h"
#include "convert/converters.h"
#include "convert/incometax/return_sections.h"
#include "tests/convert/fake_workbook.h"

namespace ledgerix {
namespace {

using incometax::TaxpayerNumberFromText;
using testing::ReadFileBytes;
using testing::SheetAt;
using testing::TempFolder;

TEST(IncomeTaxHeader, TaxpayerNumberIsTheTextAfterTheColonCutAtTheFirstSpace) {
  EXPECT_EQ(TaxpayerNumberFromText("纳税人识别号：440101123456789 "), "440101123456789");
  EXPECT_EQ(TaxpayerNumberFromText("纳税人识别号：440101123456789   （国税）"), "440101123456789");
  // No space after the number: the whole remainder, not an empty number.
  EXPECT_EQ(TaxpayerNumberFromText("纳税人识别号：440101123456789"), "440101123456789");
  EXPECT_EQ(TaxpayerNumberFromText("纳税人识别号:440101123456789 "), "440101123456789");
  EXPECT_EQ(TaxpayerNumberFromText("纳税人识别号:440101123456789"), "440101123456789");
  // Written in groups: cut at the first space, unlike the header-value rule.
  EXPECT_EQ(TaxpayerNumberFromText("纳税人识别号：4401 0112 3456 789"), "4401");
  // Spaces between the colon and the number do not swallow it.
  EXPECT_EQ(TaxpayerNumberFromText("纳税人识别号：  440101123456789 "), "440101123456789");
  EXPECT_EQ(TaxpayerNumberFromText("440101123456789 备注"), "440101123456789");
  EXPECT_EQ(TaxpayerNumberFromText("纳税人识别号：A:B C"), "A：B");
  EXPECT_EQ(TaxpayerNumberFromText("纳税人识别号："), "");
  EXPECT_EQ(TaxpayerNumberFromText(""), "");
  // Only U+0020 cuts; a full-width space stays.
  EXPECT_EQ(TaxpayerNumberFromText("识别号：4401　0112"), "4401　0112");
}

std::string HeadLines(const std::string& number, const std::string& name, const std::string& start,
                      const std::string& end) {
  return "<publicHead>\n<nsrsbh>" + number + "</nsrsbh>\n<nsrmc>" + name +
         "</nsrmc>\n<tbrq></tbrq>\n<sssq>\n<rqQ>" + start + "</rqQ>\n<rqZ>" + end +
         "</rqZ>\n</sssq>\n</publicHead>\n";
}

std::string ConvertWithHeader(const std::string& b3, const std::string& b4, const std::string& b5,
                              std::string* fileName) {
  TempFolder folder;
  auto book = testing::AddressedReturnWorkbook(10);
  SheetAt(*book, 1).SetText("B3", b3);
  SheetAt(*book, 1).SetText("B4", b4);
  SheetAt(*book, 1).SetText("B5", b5);
  EXPECT_EQ(ConvertIncomeTaxReturn(folder.folder(), *book), 1);
  std::filesystem::directory_iterator it(folder.folder());
  if (it == std::filesystem::directory_iterator()) return {};
  *fileName = it->path().filename().string();
  return ReadFileBytes(it->path().string());
}

TEST(IncomeTaxHeader, PeriodNameAndNumberReachTheHeadAndTheFileName) {
  struct Case {
    std::string b3, b4, b5, fileName, head;
  };
  const Case cases[] = {
      {"所属时期：2008年01月01日至2008年12月31日", "纳税人名称：广州明珠有限公司",
       "纳税人识别号：440101123456789 ", "QYSDS_20080101_20081231_440101123456789_V10.xml",
       HeadLines("440101123456789", "广州明珠有限公司", "20080101", "20081231")},
      // ASCII colons and spaces around the dates.
      {"所属时期:2008-01-01 至 2008-12-31", "纳税人名称: 广州 明珠有限公司",
       "纳税人识别号:440101123456789", "QYSDS_20080101_20081231_440101123456789_V10.xml",
       HeadLines("440101123456789", "广州明珠有限公司", "20080101", "20081231")},
      // Unpadded months and days.
      {"所属时期：2008年1月1日至2008年3月31日", "纳税人名称：明珠", "纳税人识别号：4401 ",
       "QYSDS_20080101_20080331_4401_V10.xml", HeadLines("4401", "明珠", "20080101", "20080331")},
      {"所属时期：2008-1-1至2008-12-1", "明珠", "识别号：4401",
       "QYSDS_20080101_20081201_4401_V10.xml", HeadLines("4401", "明珠", "20080101", "20081201")},
      // No "至": no start, the whole text as the end.
      {"所属时期：2008年12月31日", "纳税人名称：明珠", "纳税人识别号：4401",
       "QYSDS__20081231_4401_V10.xml", HeadLines("4401", "明珠", "", "20081231")},
      // Markup in the name is escaped; characters unsafe in file names are replaced there only.
      {"所属时期：2008-01-01至2008-12-31", "纳税人名称：明珠&<五金>\"", "纳税人识别号：44/01:02 x",
       "QYSDS_20080101_20081231_44_01：02_V10.xml",
       HeadLines("44/01：02", "明珠&amp;&lt;五金&gt;\"", "20080101", "20081231")},
      // A character GBK lacks becomes a character reference, not a "?".
      {"所属时期：2008-01-01至2008-12-31", "纳税人名称：明珠😀", "纳税人识别号：4401",
       "QYSDS_20080101_20081231_4401_V10.xml",
       HeadLines("4401", "明珠&#128512;", "20080101", "20081231")},
  };
  for (const Case& c : cases) {
    std::string fileName;
    const std::string doc = ConvertWithHeader(c.b3, c.b4, c.b5, &fileName);
    EXPECT_EQ(fileName, c.fileName) << c.b3 << " | " << c.b5;
    EXPECT_NE(doc.find(fnCStringToAnsi(c.head)), std::string::npos) << c.b3 << " | " << c.b5;
  }
}

}  // namespace
}  // namespace ledgerix
