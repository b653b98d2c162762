// The kind 2-4 national-tax statement converters over in-memory sheets: byte-exact goldens,
// the order cells are read in, the date of preparation, file names, and failures that must
// leave no partial file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "convert/common/cell_rules.h"
#include "convert/converters.h"
#include "convert/national/standards_common.h"
#include "tests/convert/fake_sheet.h"
#include "tests/convert/test_files.h"

namespace ledgerix {
namespace {

namespace fs = std::filesystem;
using testing::FakeSheet;
using testing::ReadFileBytes;
using testing::TempFolder;

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Reports the first differing line, which is what a reader of a failed golden needs.
void ExpectSameBytes(const std::string& expected, const std::string& actual) {
  if (expected == actual) return;
  std::vector<std::string> e = Lines(expected), a = Lines(actual);
  for (std::size_t i = 0; i < std::max(e.size(), a.size()); ++i) {
    std::string el = i < e.size() ? e[i] : "<none>", al = i < a.size() ? a[i] : "<none>";
    if (el != al) {
      ADD_FAILURE() << "line " << i + 1 << " (GBK bytes)\n expected: " << el
                    << "\n   actual: " << al << "\n(" << e.size() << " lines expected, " << a.size()
                    << " written)";
      return;
    }
  }
  ADD_FAILURE() << "same lines, different bytes (line ends?)";
}

std::string Golden(const std::string& name) {
  std::string bytes = ReadFileBytes(fs::path(LEDGERIX_TEST_DATA) / "golden" / name);
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The standards-edition balance sheet of the golden file.
void FillStandardsBalanceSheet(FakeSheet& s) {
  s.SetText("B3", "2008-01-01 至 2008-03-31");
  s.SetText("B4", "纳税人识别号: 4401 0612 3456 789");
  s.SetText("B5", "纳税人名称：广州\U00020000明珠&<贸易>有限公司");
  for (int r = 7; r <= 39; ++r) {
    std::string n = std::to_string(r);
    if (r != 7 && r != 20) {  // the two heading lines stay empty
      s.SetNumber("D" + n, r * 1000 + 0.5);
      s.SetNumber("E" + n, r * 100 + 0.25);
    }
    if (r != 38) {
      s.SetNumber("H" + n, r * 10);
      s.SetText("I" + n, n + ".00");
    }
  }
  s.SetNumber("H34", -340);
  // Row 38 of the right-hand side and cells beside the table are not part of the statement.
  s.SetNumber("H38", 99999);
  s.SetText("I38", "ROW38");
  s.SetText("D40", "不应出现");
  s.SetText("J7", "不应出现");
}

void FillStandardsIncomeStatement(FakeSheet& s) {
  s.SetText("B3", "2008年10月01日至2008年12月31日");
  s.SetText("B4", "纳税人识别号：440106123456789");
  s.SetText("B5", "纳税人名称: 广州 明珠 贸易有限公司");
  for (int r = 7; r <= 23; ++r) {
    std::string n = std::to_string(r);
    if (r != 17) s.SetNumber("D" + n, r * 1000 + 0.75);
    s.SetNumber("E" + n, -(r * 10));
  }
  s.SetNumber("D25", 0.12);
  s.SetNumber("D26", 0.11);
  s.SetNumber("E25", 0.1);
  s.SetNumber("E26", 0.09);
  s.SetText("D27", "不应出现");
  s.SetNumber("E27", 1);
}

void FillSystemIncomeStatement(FakeSheet& s) {
  s.SetText("B3", "2008-01-01 至 2008-03-31");
  s.SetText("B4", "纳税人识别号:440106123456789");
  const char* labels[] = {"一、主营业务收入",
                          "减：主营业务成本",
                          "主营业务税金及附加",
                          "",  // row 10: no key, no group
                          "加：其他业务利润",
                          "减：营业费用&其他",
                          " 管理费用",
                          "财务费用",
                          "   ",  // row 15: spaces only, no group
                          "加：投资收益",
                          "补贴收入",
                          "营业外收入",
                          "减：营业外支出",
                          "四、利润总额",
                          "减：所得税",
                          "五、净利润"};
  for (int r = 7; r <= 22; ++r) {
    std::string n = std::to_string(r);
    if (*labels[r - 7]) s.SetText("C" + n, labels[r - 7]);
    if (r != 8) {
      s.SetNumber("D" + n, r * 100);
      s.SetNumber("E" + n, r * 1000 + 0.5);
    }
  }
  s.SetText("D9", " ");  // one space is a value, not an empty cell
  s.SetText("C23", "不应出现");
  s.SetNumber("D23", 1);
  s.SetText("C24", "不应出现");

  s.SetText("B25", "1.出售、处置部门或被投资单位所得收益");
  s.SetText("B26", "2.自然灾害发生的损失");
  s.SetText("B28", "4.会计估计变更增加(或减少)利润总额");
  s.SetText("B29", "  ");
  s.SetText("B30", "6.其他");
  s.SetNumber("C25", 555);  // the supplement's amounts stand in D and E
  for (int r = 25; r <= 30; ++r) {
    std::string n = std::to_string(r);
    if (r != 30) s.SetNumber("D" + n, r * 10);
    if (r != 26) s.SetNumber("E" + n, -r);
  }
}

// Noon of 15 March 2009, local time.
std::chrono::system_clock::time_point FixedToday() {
  std::tm tm{};
  tm.tm_year = 2009 - 1900;
  tm.tm_mon = 2;
  tm.tm_mday = 15;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

class NationalStatements : public ::testing::Test {
 protected:
  void SetUp() override { SetTodayClock(&FixedToday); }
  void TearDown() override { SetTodayClock({}); }

  TempFolder temp_;
  const fs::path folder_ = temp_.path();
  const std::string save_ = temp_.folder();
};

TEST_F(NationalStatements, StandardsBalanceSheetMatchesGolden) {
  FakeSheet sheet;
  FillStandardsBalanceSheet(sheet);
  EXPECT_EQ(ConvertStandardsBalanceSheet(save_, sheet), 1);
  const std::string name = "ZZFZB_20080101_20080331_440106123456789_CRC.xml";
  ASSERT_EQ(FilesIn(folder_), std::vector<std::string>{name});
  std::string bytes = ReadFileBytes(folder_ / name);
  ExpectSameBytes(Golden("kind3_zzfzb_standards.xml"), bytes);
  EXPECT_EQ(Lines(bytes).size(), 163u);
}

TEST_F(NationalStatements, StandardsIncomeStatementMatchesGolden) {
  FakeSheet sheet;
  FillStandardsIncomeStatement(sheet);
  EXPECT_EQ(ConvertStandardsIncomeStatement(save_, sheet), 1);
  const std::string name = "LRB_20081001_20081231_440106123456789_CRC.xml";
  ASSERT_EQ(FilesIn(folder_), std::vector<std::string>{name});
  std::string bytes = ReadFileBytes(folder_ / name);
  ExpectSameBytes(Golden("kind4_lrb_standards.xml"), bytes);
  EXPECT_EQ(Lines(bytes).size(), 65u);
}

TEST_F(NationalStatements, SystemIncomeStatementMatchesGolden) {
  FakeSheet sheet;
  FillSystemIncomeStatement(sheet);
  EXPECT_EQ(ConvertSystemIncomeStatement(save_, sheet), 1);
  const std::string name = "LRB_20080101_20080331_440106123456789_CRC.xml";
  ASSERT_EQ(FilesIn(folder_), std::vector<std::string>{name});
  ExpectSameBytes(Golden("kind2_lrb_system.xml"), ReadFileBytes(folder_ / name));
}

TEST_F(NationalStatements, StandardsStatementsReadHeadersFirstThenEachColumnInLineOrder) {
  FakeSheet balance;
  FillStandardsBalanceSheet(balance);
  ConvertStandardsBalanceSheet(save_, balance);
  std::vector<std::string> expected = {"B4", "B5", "B3"};
  for (const char* column : {"D", "E"}) {
    for (int r = 7; r <= 39; ++r) expected.push_back(column + std::to_string(r));
  }
  for (const char* column : {"H", "I"}) {
    for (int r = 7; r <= 39; ++r) {
      if (r != 38) expected.push_back(column + std::to_string(r));
    }
  }
  EXPECT_EQ(balance.reads(), expected);

  FakeSheet income;
  FillStandardsIncomeStatement(income);
  ConvertStandardsIncomeStatement(save_, income);
  expected = {"B4", "B5", "B3"};
  for (const char* column : {"D", "E"}) {
    for (int r = 7; r <= 26; ++r) expected.push_back(column + std::to_string(r));
  }
  EXPECT_EQ(income.reads(), expected);
}

TEST_F(NationalStatements, SystemIncomeStatementReadsKeyThenGroupCellsRowByRow) {
  FakeSheet sheet;
  sheet.SetText("B4", "纳税人识别号：1");
  sheet.SetText("B3", "2008-01-01至2008-03-31");
  sheet.SetText("C8", "收入");
  sheet.SetText("B30", "其他");
  sheet.SetText("C25", "C is never read in the supplement");
  ConvertSystemIncomeStatement(save_, sheet);
  std::vector<std::string> expected = {"B4", "B3"};
  for (int r = 7; r <= 22; ++r) {
    std::string n = std::to_string(r);
    expected.push_back("C" + n);
    if (r == 8) expected.insert(expected.end(), {"C8", "D8", "E8"});
  }
  for (int r = 25; r <= 30; ++r) expected.push_back("B" + std::to_string(r));
  expected.insert(expected.end(), {"B30", "D30", "E30"});
  EXPECT_EQ(sheet.reads(), expected);
}

TEST(PreparationDate, MovesThePeriodEndOneMonthOnWithinTheCalendar) {
  struct Case {
    const char* periodEnd;
    const char* expected;
  } cases[] = {
      {"20080930", "20081030"},
      {"20080630", "20080730"},
      {"20081231", "20090131"},
      {"20081130", "20081230"},
      // A day the next month lacks becomes its last day.
      {"20080331", "20080430"},
      {"20080531", "20080630"},
      {"20080131", "20080229"},
      {"20090131", "20090228"},
      {"20000131", "20000229"},
      {"19000131", "19000228"},
      {"20080229", "20080329"},
      // Not eight digits: moved by position only.
      {"200812", "20090112"},
      {"2008-3", "200801-3"},
      {"", "01"},
      {"2008年3月31日", "2008011日"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(national::PreparationDate(c.periodEnd), c.expected) << c.periodEnd;
  }
}

TEST_F(NationalStatements, PeriodWithoutSeparatorGivesEmptyStartAndYearFromTheEnd) {
  FakeSheet sheet;
  sheet.SetText("B3", "2008-06-30");
  sheet.SetText("B4", "识别号：440106123456789");
  sheet.SetText("B5", "名称：甲公司");
  ConvertStandardsIncomeStatement(save_, sheet);
  const std::string name = "LRB__20080630_440106123456789_CRC.xml";
  ASSERT_EQ(FilesIn(folder_), std::vector<std::string>{name});
  std::vector<std::string> lines = Lines(ReadFileBytes(folder_ / name));
  ASSERT_EQ(lines.size(), 65u);
  EXPECT_EQ(lines[6], "<nd>2008</nd>");
  EXPECT_EQ(lines[20], "<yylr></yylr>");
  EXPECT_EQ(lines[58], "<rqQ></rqQ>");
  EXPECT_EQ(lines[59], "<rqZ>20080630</rqZ>");
  EXPECT_EQ(lines[62], "<tbrq>20080730</tbrq>");

  ConvertStandardsBalanceSheet(save_, sheet);
  lines = Lines(ReadFileBytes(folder_ / "ZZFZB__20080630_440106123456789_CRC.xml"));
  ASSERT_EQ(lines.size(), 163u);
  EXPECT_EQ(lines[6], "<bzrq>20080730</bzrq>");
  EXPECT_EQ(lines[160], "<tbrq>20080730</tbrq>");
}

TEST_F(NationalStatements, IncomeStatementsOfBothEditionsWriteTheSameFile) {
  FakeSheet sheet;
  FillSystemIncomeStatement(sheet);
  sheet.SetText("B5", "纳税人名称：广州明珠贸易有限公司");
  ConvertSystemIncomeStatement(save_, sheet);
  ConvertStandardsIncomeStatement(save_, sheet);
  const std::string name = "LRB_20080101_20080331_440106123456789_CRC.xml";
  ASSERT_EQ(FilesIn(folder_), std::vector<std::string>{name});
  EXPECT_EQ(Lines(ReadFileBytes(folder_ / name))[0], "<?xml version=\"1.0\" encoding=\"GB2312\"?>");

  ConvertSystemIncomeStatement(save_, sheet);
  ASSERT_EQ(FilesIn(folder_), std::vector<std::string>{name});
  EXPECT_EQ(ReadFileBytes(folder_ / name), Golden("kind2_lrb_system.xml"));
}

TEST_F(NationalStatements, FileNamePartsFromCellsCannotLeaveTheFolder) {
  FakeSheet sheet;
  sheet.SetText("B3", "20/8-01-01至2008-03-31");
  sheet.SetText("B4", "识别号：../A&B*C?D\"E<F>G|H\tI\\J");
  sheet.SetText("B5", "名称：甲");
  ConvertSystemIncomeStatement(save_, sheet);
  const std::string name = "LRB_20_80101_20080331_.._A&B_C_D_E_F_G_H_I_J_CRC.xml";
  ASSERT_EQ(FilesIn(folder_), std::vector<std::string>{name});
  std::vector<std::string> lines = Lines(ReadFileBytes(folder_ / name));
  ASSERT_GE(lines.size(), 7u);
  // The CRC attribute names the file as written; the elements keep the cell texts.
  EXPECT_EQ(lines[2],
            "<SCHEMA NAME=\"LRB\" CNNAME=\"\xC0\xFB\xC8\xF3\xB1\xED\" Version=\"1.0\" "
            "CRC=\"LRB_20_80101_20080331_.._A&amp;B_C_D_E_F_G_H_I_J_CRC.xml\">");
  EXPECT_EQ(lines[4], "<NSRSBH>../A&amp;B*C?D\"E&lt;F&gt;G|H\tI\\J</NSRSBH>");
  EXPECT_EQ(lines[6], "<SSSQ_Q>20/80101</SSSQ_Q>");

  ConvertStandardsBalanceSheet(save_, sheet);
  ConvertStandardsIncomeStatement(save_, sheet);
  // The standards income statement replaced the LRB of the same name.
  EXPECT_EQ(FilesIn(folder_), (std::vector<std::string>{
                                  name, "ZZFZB_20_80101_20080331_.._A&B_C_D_E_F_G_H_I_J_CRC.xml"}));
}

TEST_F(NationalStatements, ErrorValueInABodyCellLeavesNoPartialFileAndKeepsTheEarlierOne) {
  using Converter = int (*)(const std::string&, Worksheet&);
  struct Case {
    Converter convert;
    void (*fill)(FakeSheet&);
    const char* errorCell;
    const char* fileName;
  } cases[] = {
      {&ConvertStandardsBalanceSheet, &FillStandardsBalanceSheet, "I39",
       "ZZFZB_20080101_20080331_440106123456789_CRC.xml"},
      {&ConvertStandardsIncomeStatement, &FillStandardsIncomeStatement, "E12",
       "LRB_20081001_20081231_440106123456789_CRC.xml"},
      {&ConvertSystemIncomeStatement, &FillSystemIncomeStatement, "E30",
       "LRB_20080101_20080331_440106123456789_CRC.xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileName);
    FakeSheet broken;
    c.fill(broken);
    broken.Set(c.errorCell, Variant::Error(CellError::Div0));
    EXPECT_THROW(c.convert(save_, broken), AutomationError);
    EXPECT_TRUE(FilesIn(folder_).empty());

    FakeSheet good;
    c.fill(good);
    c.convert(save_, good);
    const std::string before = ReadFileBytes(folder_ / c.fileName);
    EXPECT_THROW(c.convert(save_, broken), AutomationError);
    EXPECT_EQ(FilesIn(folder_), std::vector<std::string>{c.fileName});
    EXPECT_EQ(ReadFileBytes(folder_ / c.fileName), before);
    fs::remove(folder_ / c.fileName);
  }
}

TEST_F(NationalStatements, HeaderErrorsAndMissingFoldersWriteNothing) {
  FakeSheet sheet;
  FillStandardsBalanceSheet(sheet);
  sheet.Set("B5", Variant::Error(CellError::NA));
  EXPECT_THROW(ConvertStandardsBalanceSheet(save_, sheet), AutomationError);
  // The header cells come before any body cell.
  EXPECT_EQ(sheet.reads(), (std::vector<std::string>{"B4", "B5"}));
  EXPECT_TRUE(FilesIn(folder_).empty());

  FakeSheet income;
  FillStandardsIncomeStatement(income);
  EXPECT_THROW(ConvertStandardsIncomeStatement(save_ + "missing/", income), AutomationError);
  FakeSheet system;
  FillSystemIncomeStatement(system);
  EXPECT_THROW(ConvertSystemIncomeStatement(save_ + "missing/", system), AutomationError);
  EXPECT_TRUE(FilesIn(folder_).empty());
}

}  // namespace
}  // namespace ledgerix
