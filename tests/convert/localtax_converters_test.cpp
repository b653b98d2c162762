// Kinds 5 to 8 against an in-memory server: which workbook is opened, what lands where, and
// how it is saved.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "convert/common/converter_messages.h"
#include "convert/common/program_folder.h"
#include "convert/converters.h"
#include "convert/localtax/copy_cell_value.h"
#include "tests/convert/fake_app.h"
#include "tests/convert/fake_sheet.h"
#include "tests/convert/test_files.h"

namespace ledgerix {
namespace {

using testing::FakeApp;
using testing::FakeFile;
using testing::FakeSheet;
using testing::LoggedSheet;
using testing::TempFolder;

const std::string kEnterpriseTemplate = "地税目标企业会计制度报表.xls";
const std::string kSmallTemplate = "地税目标小企业会计制度报表.xls";
const std::string kFilingName = "440106190012345_恒信商贸_2008年03月.xls";

// (source row, target row) pairs written out from the transfer tables.
using RowPairs = std::vector<std::pair<int, int>>;
RowPairs Same(int first, int last) {
  RowPairs out;
  for (int r = first; r <= last; ++r) out.emplace_back(r, r);
  return out;
}
RowPairs Join(std::initializer_list<RowPairs> parts) {
  RowPairs out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
const RowPairs kEnterpriseLeft = Join({Same(6, 18),
                                       {{21, 22}, {22, 23}, {25, 26}, {26, 27}, {28, 29}},
                                       {{30, 31}, {31, 32}, {32, 33}},
                                       {{35, 38}, {36, 39}, {37, 40}, {41, 43}}});
const RowPairs kEnterpriseRight =
    Join({Same(6, 19),
          {{23, 22}, {24, 23}, {25, 24}, {26, 25}, {27, 26}, {30, 30}},
          {{34, 35}, {35, 36}, {37, 38}, {38, 39}, {39, 40}, {40, 41}}});
const RowPairs kEnterpriseIncome =
    Join({Same(5, 7), Same(9, 12), Same(14, 17), Same(19, 19), Same(24, 29)});
const RowPairs kSmallLeft =
    Join({Same(6, 15), Same(18, 19), Same(22, 23), Same(25, 27), Same(30, 32)});
const RowPairs kSmallRight = Join({Same(6, 17), Same(20, 22), Same(28, 32)});
const RowPairs kSmallIncome = Join({Same(5, 7), Same(9, 12), Same(14, 16), Same(18, 18)});

std::string A(char column, int row) { return column + std::to_string(row); }

// A distinct amount for every cell of the statement columns, so a value found in the target
// tells which source cell it came from.
double Amount(char column, int row) { return row * 100 + (column - 'A') + 0.25; }
void FillAmounts(FakeSheet& s, std::string_view columns, int lastRow) {
  for (char c : columns) {
    for (int r = 3; r <= lastRow; ++r) s.SetNumber(A(c, r), Amount(c, r));
  }
}

void FillBalanceHeader(FakeSheet& s) {
  s.SetText("A1", "纳税人识别号: 4401 0619 0012 345");
  s.SetText("B2", "恒信 商贸");
  s.SetText("D2", "2008年");
  s.SetText("F1", "2008-01-01");
  s.SetText("H1", "2008-03-31");
  s.SetText("F2", "03月");
  s.SetText("H2", "2008-04-10");
}

void FillIncomeHeader(FakeSheet& s) {
  s.SetText("B1", "纳税人识别号：440106190012345");
  s.SetText("B2", "恒信商贸");
  s.SetText("C1", "2008年");
  s.SetText("C2", "03月");
}

// A save folder and a program folder on disk, the server, and messages collected.
class LocalTaxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_program_ = ProgramFolder();
    std::filesystem::create_directory(dir_.path() / "program");
    std::filesystem::create_directory(dir_.path() / "save");
    program_ = dir_.folder() + "program/";
    save_ = dir_.folder() + "save/";
    SetProgramFolder(program_);
  }
  void TearDown() override { SetProgramFolder(previous_program_); }

  // A template whose statement cells hold stale values, to see what is overwritten.
  FakeFile Template() {
    FakeFile f = FakeFile::WithSheets({"公共信息表", "资产负债表", "利润表"});
    f.sheets[0]["A5"] = Variant::String("纳税人识别号");
    f.sheets[1]["D6"] = Variant::Number(999);
    f.sheets[1]["D19"] = Variant::Number(888);  // a row no transfer reaches
    f.sheets[2]["E5"] = Variant::Number(777);
    return f;
  }
  void InstallTemplates() {
    app_.AddFile(program_ + kEnterpriseTemplate, Template());
    app_.AddFile(program_ + kSmallTemplate, Template());
  }
  const FakeFile& Filing() { return app_.File(save_ + kFilingName); }

  TempFolder dir_;
  std::string previous_program_;
  std::string program_;
  std::string save_;
  FakeApp app_;
  std::vector<std::string> messages_;
  ScopedConverterMessages capture_{[this](std::string_view text) { messages_.emplace_back(text); }};
};

void ExpectTransfers(const FakeFile& out, int sheet, const RowPairs& rows, std::string_view from,
                     std::string_view to) {
  for (auto [source, target] : rows) {
    for (std::size_t i = 0; i < from.size(); ++i) {
      EXPECT_EQ(out.At(sheet, A(to[i], target)), Variant::Number(Amount(from[i], source)))
          << "target " << A(to[i], target) << " from " << A(from[i], source);
    }
  }
}

// The cells of a sheet that hold a value.
std::set<std::string> Filled(const FakeFile& out, int sheet) {
  std::set<std::string> cells;
  for (const auto& [address, value] : out.sheets[static_cast<std::size_t>(sheet - 1)]) {
    if (!value.IsEmpty()) cells.insert(address);
  }
  return cells;
}

TEST_F(LocalTaxTest, BalanceSheetCreatesFilingWorkbookFromTemplate) {
  InstallTemplates();
  FakeSheet source;
  FillBalanceHeader(source);
  FillAmounts(source, "CDGH", 50);
  const FakeFile before = app_.File(program_ + kEnterpriseTemplate);

  EXPECT_EQ(ConvertLocalBalanceSheet(save_, app_, source), 1);

  const std::string target = save_ + kFilingName;
  EXPECT_EQ(app_.log().front(), "Open " + program_ + kEnterpriseTemplate);
  std::vector<std::string> tail(app_.log().end() - 2, app_.log().end());
  EXPECT_EQ(tail, (std::vector<std::string>{"SaveAs " + target, "Close 0 " + target}));
  EXPECT_EQ(app_.OpenWorkbookCount(), 0);
  EXPECT_TRUE(std::filesystem::exists(target));

  const FakeFile& out = Filing();
  ExpectTransfers(out, 2, kEnterpriseLeft, "CD", "DE");
  ExpectTransfers(out, 2, kEnterpriseRight, "GH", "HI");
  // Exactly the transferred cells, plus what the template held on a row nobody writes.
  EXPECT_EQ(Filled(out, 2).size(), 2 * (kEnterpriseLeft.size() + kEnterpriseRight.size()) + 1);
  EXPECT_EQ(out.At(2, "D19"), Variant::Number(888));
  EXPECT_EQ(out.sheets[2], before.sheets[2]);  // the income statement as in the template
  // The template itself is untouched.
  EXPECT_EQ(app_.File(program_ + kEnterpriseTemplate).sheets, before.sheets);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(LocalTaxTest, BalanceSheetReadsOnlyTheListedCells) {
  InstallTemplates();
  FakeSheet source;
  FillBalanceHeader(source);
  FillAmounts(source, "CDGH", 50);
  ConvertLocalBalanceSheet(save_, app_, source);

  std::set<std::string> expected = {"A1", "B2",  "D2",  "F1",  "H1", "F2",
                                    "H2", "B43", "E43", "B44", "E44"};
  for (auto [s, t] : kEnterpriseLeft) expected.insert({A('C', s), A('D', s)});
  for (auto [s, t] : kEnterpriseRight) expected.insert({A('G', s), A('H', s)});
  std::set<std::string> read(source.reads().begin(), source.reads().end());
  EXPECT_EQ(read, expected);
  EXPECT_EQ(source.reads().size(), expected.size());  // each cell once
  // Header cells first, in their order.
  std::vector<std::string> head(source.reads().begin(), source.reads().begin() + 7);
  EXPECT_EQ(head, (std::vector<std::string>{"A1", "B2", "D2", "F1", "H1", "F2", "H2"}));
}

TEST_F(LocalTaxTest, EachTransferReadsJustBeforeItWritesAndSourceIsNeverWritten) {
  InstallTemplates();
  FakeSheet inner;
  FillBalanceHeader(inner);
  FillAmounts(inner, "CDGH", 50);
  LoggedSheet source(inner, app_.mutable_log());
  ConvertLocalBalanceSheet(save_, app_, source);

  const auto& log = app_.log();
  auto at = std::find(log.begin(), log.end(), "get C6");
  ASSERT_NE(at, log.end());
  std::vector<std::string> first(at, at + 6);
  EXPECT_EQ(first, (std::vector<std::string>{"get C6", "put 资产负债表!D6", "get D6",
                                             "put 资产负债表!E6", "get C7", "put 资产负债表!D7"}));
  // All left-hand rows before the right-hand ones; public information after both.
  auto last_left = std::find(log.begin(), log.end(), "put 资产负债表!E43");
  auto first_right = std::find(log.begin(), log.end(), "put 资产负债表!H6");
  auto last_right = std::find(log.begin(), log.end(), "put 资产负债表!I41");
  auto info = std::find(log.begin(), log.end(), "put 公共信息表!B5");
  EXPECT_LT(last_left, first_right);
  EXPECT_LT(last_right, info);
  EXPECT_NE(info, log.end());
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& e) { return e.rfind("put-source", 0) == 0; }),
            0);
}

TEST_F(LocalTaxTest, PublicInformationTable) {
  InstallTemplates();
  FakeSheet source;
  FillBalanceHeader(source);
  source.SetNumber("D2", 2008);  // digits are still written as text
  source.SetText("B43", "张三");
  source.SetText("E43", "李四");
  source.SetText("B44", "王五");
  source.SetNumber("E44", 13800138000);
  ConvertLocalBalanceSheet(save_, app_, source);

  const FakeFile& out = app_.File(save_ + "440106190012345_恒信商贸_200803月.xls");
  EXPECT_EQ(out.At(1, "B5"), Variant::String("440106190012345"));
  EXPECT_EQ(out.At(1, "B6"), Variant::String("恒信商贸"));
  EXPECT_EQ(out.At(1, "B7"), Variant::String("2008"));
  EXPECT_EQ(out.At(1, "B8"), Variant::String("2008"));
  EXPECT_EQ(out.At(1, "D7"), Variant::String("2008-01-01"));
  EXPECT_EQ(out.At(1, "F7"), Variant::String("2008-03-31"));
  EXPECT_EQ(out.At(1, "D8"), Variant::String("03月"));
  EXPECT_EQ(out.At(1, "F8"), Variant::String("2008-04-10"));
  EXPECT_EQ(out.At(1, "B9"), Variant::String("张三"));
  EXPECT_EQ(out.At(1, "B10"), Variant::String("李四"));
  EXPECT_EQ(out.At(1, "B11"), Variant::String("王五"));
  EXPECT_EQ(out.At(1, "B12"), Variant::Number(13800138000));    // a transfer keeps the number
  EXPECT_EQ(out.At(1, "A5"), Variant::String("纳税人识别号"));  // template labels stay
}

TEST_F(LocalTaxTest, NameCharactersThatCannotBeInAFileNameBecomeUnderscores) {
  InstallTemplates();
  FakeSheet source;
  FillBalanceHeader(source);
  source.SetText("D2", "2008/..\\03:");
  source.SetText("F2", "\t*?");
  EXPECT_EQ(ConvertLocalBalanceSheet(save_, app_, source), 1);

  const std::string target = save_ + "440106190012345_恒信商贸_2008_.._03____.xls";
  ASSERT_TRUE(app_.HasFile(target));
  EXPECT_TRUE(std::filesystem::exists(target));
  // The cells still get the texts as they were.
  EXPECT_EQ(app_.File(target).At(1, "B7"), Variant::String("2008/..\\03:"));
  EXPECT_EQ(app_.File(target).At(1, "B8"), Variant::String("2008/..\\03:"));
  EXPECT_EQ(app_.File(target).At(1, "D8"), Variant::String("\t*?"));
}

TEST_F(LocalTaxTest, IncomeStatementJoinsTheBalanceSheetsWorkbook) {
  InstallTemplates();
  FakeSheet balance;
  FillBalanceHeader(balance);
  FillAmounts(balance, "CDGH", 50);
  ASSERT_EQ(ConvertLocalBalanceSheet(save_, app_, balance), 1);
  const FakeFile afterBalance = Filing();
  app_.mutable_log().clear();

  FakeSheet income;
  FillIncomeHeader(income);
  FillAmounts(income, "CD", 40);
  EXPECT_EQ(ConvertLocalIncomeStatement(save_, app_, income), 1);

  const std::string target = save_ + kFilingName;
  EXPECT_EQ(app_.log().front(), "Open " + target);
  EXPECT_EQ(app_.log().back(), "Close 1 " + target);
  EXPECT_EQ(std::count_if(app_.log().begin(), app_.log().end(),
                          [](const std::string& e) { return e.rfind("SaveAs", 0) == 0; }),
            0);
  const FakeFile& out = Filing();
  EXPECT_EQ(out.sheets[0], afterBalance.sheets[0]);
  EXPECT_EQ(out.sheets[1], afterBalance.sheets[1]);
  ExpectTransfers(out, 3, kEnterpriseIncome, "CD", "DF");
  EXPECT_EQ(out.At(3, "E5"), Variant::Number(777));  // column E is never written
  EXPECT_EQ(Filled(out, 3).size(), 2 * kEnterpriseIncome.size() + 1);
  std::set<std::string> read(income.reads().begin(), income.reads().end());
  EXPECT_EQ(read.count("C8") + read.count("C13") + read.count("C18") + read.count("C20") +
                read.count("D23") + read.count("C30"),
            0u);
  EXPECT_EQ(dir_.FileCount(), 2u);  // program/ and save/
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(save_),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(LocalTaxTest, ConvertingAgainOverwritesAndEmptySourceCellsClearTargets) {
  InstallTemplates();
  FakeSheet first;
  FillBalanceHeader(first);
  FillAmounts(first, "CDGH", 50);
  ConvertLocalBalanceSheet(save_, app_, first);
  EXPECT_EQ(Filing().At(2, "D6"), Variant::Number(Amount('C', 6)));

  FakeSheet second;
  FillBalanceHeader(second);
  second.SetNumber("C7", 1234.5);
  second.SetText("D7", "1,234.50");                 // text stays text
  second.Set("G6", Variant::Error(CellError::NA));  // amount errors are copied, not raised
  app_.mutable_log().clear();
  EXPECT_EQ(ConvertLocalBalanceSheet(save_, app_, second), 1);

  EXPECT_EQ(app_.log().front(), "Open " + save_ + kFilingName);
  const FakeFile& out = Filing();
  EXPECT_EQ(out.At(2, "D6"), Variant());  // cleared by the empty source cell
  EXPECT_EQ(out.At(2, "E43"), Variant());
  EXPECT_EQ(out.At(2, "D7"), Variant::Number(1234.5));
  EXPECT_EQ(out.At(2, "E7"), Variant::String("1,234.50"));
  EXPECT_EQ(out.At(2, "H6"), Variant::Error(CellError::NA));
  EXPECT_EQ(out.At(2, "D19"), Variant::Number(888));
  EXPECT_EQ(out.At(1, "B9"), Variant());
}

TEST_F(LocalTaxTest, TemplateMissingShowsMessageAndReturnsZero) {
  FakeSheet source;
  FillBalanceHeader(source);
  EXPECT_EQ(ConvertLocalBalanceSheet(save_, app_, source), 0);
  EXPECT_EQ(messages_, (std::vector<std::string>{"请检查《" + program_ + kEnterpriseTemplate +
                                                 "》模板文件！"}));
  EXPECT_TRUE(app_.log().empty());  // nothing opened, nothing written
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(save_),
                          std::filesystem::directory_iterator()),
            0);

  FakeSheet income;
  FillIncomeHeader(income);
  EXPECT_EQ(ConvertSmallIncomeStatement(save_, app_, income), 0);
  EXPECT_EQ(messages_.back(), "请检查《" + program_ + kSmallTemplate + "》模板文件！");

  // The next conversion in the batch works as soon as there is something to open.
  app_.AddFile(program_ + kSmallTemplate, Template());
  EXPECT_EQ(ConvertSmallIncomeStatement(save_, app_, income), 1);
  EXPECT_EQ(messages_.size(), 2u);
}

TEST_F(LocalTaxTest, ExistingFilingWorkbookNeedsNoTemplate) {
  app_.AddFile(save_ + kFilingName, Template());  // no template in the program folder
  FakeSheet income;
  FillIncomeHeader(income);
  income.SetNumber("C5", 10);
  EXPECT_EQ(ConvertLocalIncomeStatement(save_, app_, income), 1);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(Filing().At(3, "D5"), Variant::Number(10));
  EXPECT_EQ(app_.log().back(), "Close 1 " + save_ + kFilingName);
}

TEST_F(LocalTaxTest, HeaderErrorRaisesBeforeAnythingIsOpened) {
  InstallTemplates();
  FakeSheet source;
  FillBalanceHeader(source);
  source.Set("H2", Variant::Error(CellError::Div0));
  EXPECT_THROW(ConvertLocalBalanceSheet(save_, app_, source), AutomationError);
  EXPECT_TRUE(app_.log().empty());
}

TEST_F(LocalTaxTest, SmallBalanceSheet) {
  InstallTemplates();
  FakeSheet source;
  FillBalanceHeader(source);
  FillAmounts(source, "CDGH", 40);
  source.SetText("B35", "负责人");
  source.SetText("E35", "财务");
  source.SetText("B36", "制表");
  source.SetText("E36", "电话");
  EXPECT_EQ(ConvertSmallBalanceSheet(save_, app_, source), 1);

  EXPECT_EQ(app_.log().front(), "Open " + program_ + kSmallTemplate);
  const FakeFile& out = Filing();
  ExpectTransfers(out, 2, kSmallLeft, "CD", "DE");
  ExpectTransfers(out, 2, kSmallRight, "GH", "HI");
  // The template's D6 and D19 are both overwritten here.
  EXPECT_EQ(Filled(out, 2).size(), 2 * (kSmallLeft.size() + kSmallRight.size()));
  EXPECT_EQ(out.At(2, "D16"), Variant());  // rows 16 and 17 never arrive
  EXPECT_EQ(out.At(2, "E17"), Variant());
  EXPECT_EQ(out.At(1, "B9"), Variant::String("负责人"));
  EXPECT_EQ(out.At(1, "B10"), Variant::String("财务"));
  EXPECT_EQ(out.At(1, "B11"), Variant::String("制表"));
  EXPECT_EQ(out.At(1, "B12"), Variant::String("电话"));
  EXPECT_EQ(out.At(1, "B5"), Variant::String("440106190012345"));
}

TEST_F(LocalTaxTest, SmallIncomeStatementFillsAnEnterpriseWorkbookOfTheSameName) {
  InstallTemplates();
  FakeSheet balance;
  FillBalanceHeader(balance);
  ConvertLocalBalanceSheet(save_, app_, balance);  // made from the enterprise template
  app_.mutable_log().clear();

  FakeSheet income;
  FillIncomeHeader(income);
  FillAmounts(income, "CD", 30);
  EXPECT_EQ(ConvertSmallIncomeStatement(save_, app_, income), 1);
  EXPECT_EQ(app_.log().front(), "Open " + save_ + kFilingName);
  const FakeFile& out = Filing();
  ExpectTransfers(out, 3, kSmallIncome, "CD", "DF");
  EXPECT_EQ(out.At(3, "D17"), Variant());                         // row 17 untouched
  EXPECT_EQ(Filled(out, 3).size(), 2 * kSmallIncome.size() + 1);  // and E5 of the template
}

TEST(CopyCellValue, CopiesTheValueUnchanged) {
  FakeSheet from;
  FakeSheet to;
  from.SetNumber("A1", -0.125);
  from.Set("A2", Variant::Boolean(true));
  to.SetText("B3", "old");
  CopyCellValue(from, "A1", to, "B1");
  CopyCellValue(from, "A2", to, "B2");
  CopyCellValue(from, "A3", to, "B3");  // empty source
  EXPECT_EQ(to.GetRange("B1", "B1")->GetValue2(), Variant::Number(-0.125));
  EXPECT_EQ(to.GetRange("B2", "B2")->GetValue2(), Variant::Boolean(true));
  EXPECT_EQ(to.GetRange("B3", "B3")->GetValue2(), Variant());
}

}  // namespace
}  // namespace ledgerix
