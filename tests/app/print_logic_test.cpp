#include "app/print_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>

#include "bridges/workbook_passwords.h"
#include "test_support.h"
#include "tests/support/private_cupsd.h"

namespace ledgerix {
namespace {

using testing::PrivateCupsd;

print::PrinterList Printers(std::vector<std::string> names, std::string def) {
  print::PrinterList p;
  p.ok = true;
  p.names = std::move(names);
  p.defaultName = std::move(def);
  return p;
}

const std::string kPdf(kPrintToPdfEntry);

TEST(PrinterListLogic, SortedPrintersBelowThePdfEntryWithTheDefaultSelectedAndNamed) {
  auto view = PrinterListFor(Printers({"Office_HP", "FilePDF", "archive"}, "FilePDF"), "old");
  EXPECT_EQ(view.entries, (std::vector<std::string>{kPdf, "archive", "FilePDF", "Office_HP"}));
  EXPECT_EQ(view.selected, 2);
  EXPECT_EQ(view.printerName, "FilePDF");
  EXPECT_TRUE(view.okEnabled);
}

TEST(PrinterListLogic, WithoutADefaultNothingIsSelectedAndTheNameCarriesOver) {
  auto view = PrinterListFor(Printers({"FilePDF", "Office_HP"}, ""), "Office_HP");
  EXPECT_EQ(view.selected, -1);
  EXPECT_EQ(view.printerName, "Office_HP");
  EXPECT_EQ(PrinterListFor(Printers({"FilePDF"}, ""), "").printerName, "")
      << "empty at the first opening";
}

TEST(PrinterListLogic, AFailedEnumerationShowsInstallPrinterAndDisablesOkUnlessPdfIsChosen) {
  print::PrinterList failed;
  failed.ok = false;
  failed.error = "Connection refused";
  auto view = PrinterListFor(failed, "FilePDF");
  EXPECT_EQ(view.entries, (std::vector<std::string>{kPdf, "请安装打印机"}));
  EXPECT_FALSE(view.okEnabled);
  EXPECT_EQ(view.selected, -1);
  EXPECT_EQ(view.printerName, "FilePDF");
  EXPECT_FALSE(SelectPrinterEntry(view, 1).okEnabled);
  EXPECT_EQ(SelectPrinterEntry(view, 1).printerName, "请安装打印机");
  // PDF files need no print server.
  EXPECT_TRUE(SelectPrinterEntry(view, 0).okEnabled);
  EXPECT_EQ(SelectPrinterEntry(view, 0).printerName, kPdf);
}

TEST(PrinterListLogic, AnEmptySuccessfulEnumerationLeavesOkEnabled) {
  auto view = PrinterListFor(Printers({}, ""), "");
  EXPECT_EQ(view.entries, std::vector<std::string>{kPdf});
  EXPECT_TRUE(view.okEnabled);
  EXPECT_EQ(view.selected, -1);
}

TEST(PrinterListLogic, ThePrefixSearchStartsAfterTheFirstPrinterSoASharedPrefixWins) {
  // Default "Office": the search starts after the first entry (itself) and finds Office_HP.
  auto view = PrinterListFor(Printers({"Office_HP", "Office"}, "Office"), "");
  EXPECT_EQ(view.entries, (std::vector<std::string>{kPdf, "Office", "Office_HP"}));
  EXPECT_EQ(view.entries[static_cast<std::size_t>(view.selected)], "Office_HP");
  EXPECT_EQ(view.printerName, "Office") << "the name is still the default's";
  // Case-insensitive, wrapping round to the first entry.
  view = PrinterListFor(Printers({"alpha", "Beta"}, "ALPHA"), "");
  EXPECT_EQ(view.entries[static_cast<std::size_t>(view.selected)], "alpha");
  EXPECT_EQ(view.printerName, "ALPHA");
}

TEST(PrinterListLogic, FindStringPrefixAndSorting) {
  const std::vector<std::string> e = {"a", "ab", "abc", "b"};
  EXPECT_EQ(FindStringPrefix(e, 0, "a"), 1);
  EXPECT_EQ(FindStringPrefix(e, 2, "a"), 0) << "wraps";
  EXPECT_EQ(FindStringPrefix(e, -1, "A"), 0) << "from the top";
  EXPECT_EQ(FindStringPrefix(e, 0, "c"), -1);
  EXPECT_EQ(FindStringPrefix({}, 0, "a"), -1);
  std::vector<std::string> names = {"b", "A", "a", "B_2", "_x"};
  SortPrinterNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"_x", "A", "a", "b", "B_2"}));
}

TEST(PrintDialogPlan, SourceSettingGetsASeparatorAndNoKindSuffix) {
  testing::TempFolder dir;
  std::filesystem::create_directories(dir.path() / "源");
  auto start = PlanPrintDialog({dir.str() + "/源", "/save"}, "/prog/");
  EXPECT_EQ(start.sourceFolder, dir.str() + "/源/");
  EXPECT_EQ(start.sourceTreeFolder, dir.str() + "/源/");
  start = PlanPrintDialog({dir.str() + "/missing/", ""}, "/prog/");
  EXPECT_EQ(start.sourceFolder, dir.str() + "/missing/") << "kept though missing";
  EXPECT_EQ(start.sourceTreeFolder, "/prog/");
  start = PlanPrintDialog({"", ""}, "/prog/");
  EXPECT_EQ(start.sourceFolder, "");
  EXPECT_EQ(start.sourceTreeFolder, "/prog/");
}

// 份数 in the printer properties: 1 when nothing is saved (never 0), a damaged or out-of-range
// saved value brought back into 1..max, and 0 never saved.
TEST(PrinterPropertiesCopies, OneByDefaultAndNeverZero) {
  EXPECT_EQ(CopiesShown({}, 999), 1);
  EXPECT_EQ(CopiesShown({{print::kOptMedia, "iso_a4_210x297mm"}}, 999), 1);
  EXPECT_EQ(CopiesShown({{print::kOptCopies, "3"}}, 999), 3);
  EXPECT_EQ(CopiesShown({{print::kOptCopies, "0"}}, 999), 1);
  EXPECT_EQ(CopiesShown({{print::kOptCopies, "-2"}}, 999), 1);
  EXPECT_EQ(CopiesShown({{print::kOptCopies, "两份"}}, 999), 1);
  EXPECT_EQ(CopiesShown({{print::kOptCopies, "3x"}}, 999), 1);
  EXPECT_EQ(CopiesShown({{print::kOptCopies, "5000"}}, 999), 999);
  EXPECT_EQ(CopiesShown({{print::kOptCopies, "99999999999"}}, 999), 999);
  EXPECT_EQ(CopiesShown({{print::kOptCopies, "2"}}, 0), 1) << "the range is 1 to 1 then";

  EXPECT_EQ(CopiesToSave(1, false), "") << "opening and closing saves nothing new";
  EXPECT_EQ(CopiesToSave(0, false), "");
  EXPECT_EQ(CopiesToSave(0, true), "1");
  EXPECT_EQ(CopiesToSave(1, true), "1");
  EXPECT_EQ(CopiesToSave(4, false), "4");
}

TEST(PrintSummaryText, CountsAndWhere) {
  EXPECT_EQ(PrintSummary({3, 5}, "FilePDF", ""),
            "已将 3 个工作簿（5 个工作表）发送到打印机 FilePDF");
  EXPECT_EQ(PrintSummary({1, 1}, kPdf, "/tmp/pdf/"),
            "已将 1 个工作簿（1 个工作表）保存为PDF文件，位于 /tmp/pdf/");
}

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// 打印到PDF文件 over real workbooks: two workbooks of one name but their extension write two
// documents (the names the command line gives), an encrypted one asks once by its list name,
// and 跳过 ends the batch leaving what was written.
TEST(PrintToPdfEntry, SameStemWorkbooksKeepTheirOwnPdfAndEncryptedOnesAskForAPassword) {
  namespace fs = std::filesystem;
  const std::string data = LEDGERIX_TEST_DATA;
  testing::TempFolder source, pdf;
  fs::copy_file(data + "/kind1/balance.xls", source.path() / "a.xls");
  fs::copy_file(data + "/encrypted/balance_pw.xlsx", source.path() / "a.xlsx");
  fs::copy_file(data + "/encrypted/balance_default.xls", source.path() / "b.xls");
  PrintBatch batch;
  batch.sourceFolder = source.str() + "/";
  batch.printerName = kPdf;
  batch.items = {"a.xls", "a.xlsx", "b.xls"};
  std::vector<std::string> asked;
  std::optional<std::string> answer = "统计2024";
  batch.askPassword = [&](const std::string& fileName) {
    asked.push_back(fileName);
    return answer;
  };
  testing::RecordingSink sink;
  PrintBatchOutcome outcome =
      RunPrintBatch(batch, PrintRunnerFor(batch, pdf.str(), false), sink, [](int) {});
  ASSERT_EQ(outcome.end, PrintBatchEnd::Completed) << outcome.errorMessage;
  EXPECT_EQ(asked, std::vector<std::string>{"a.xlsx"});
  EXPECT_EQ(outcome.tally.workbooks, 3);
  // No temporary file is left beside them.
  EXPECT_EQ(FolderNames(pdf.path()), (std::vector<std::string>{"a.pdf", "a.xlsx.pdf", "b.pdf"}));
  const std::string first = FileBytes(pdf.path() / "a.pdf");
  EXPECT_EQ(first.rfind("%PDF-", 0), 0u);
  EXPECT_EQ(FileBytes(pdf.path() / "a.xlsx.pdf").rfind("%PDF-", 0), 0u);
  ASSERT_FALSE(sink.shown.empty());
  EXPECT_EQ(sink.shown.back().first, "打印完成！");
  EXPECT_FALSE(CurrentWorkbookPasswords().ask) << "nothing outlives the batch";

  // Only a.xlsx chosen: alone in its batch it takes the plain name.
  testing::TempFolder alone;
  PrintBatch one = batch;
  one.allFiles = false;
  one.selected = {1};
  asked.clear();
  outcome = RunPrintBatch(one, PrintRunnerFor(one, alone.str(), false), sink, [](int) {});
  ASSERT_EQ(outcome.end, PrintBatchEnd::Completed) << outcome.errorMessage;
  EXPECT_EQ(FolderNames(alone.path()), std::vector<std::string>{"a.pdf"});

  // 跳过: the batch ends at the encrypted file, naming it; the document before stays whole.
  fs::remove(pdf.path() / "a.xlsx.pdf");
  answer.reset();
  asked.clear();
  sink.shown.clear();
  outcome = RunPrintBatch(batch, PrintRunnerFor(batch, pdf.str(), false), sink, [](int) {});
  EXPECT_EQ(outcome.end, PrintBatchEnd::Failed);
  EXPECT_EQ(asked, std::vector<std::string>{"a.xlsx"});
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].second, MessageIcon::Stop);
  EXPECT_NE(sink.shown[0].first.find("打印文件 a.xlsx 时出错"), std::string::npos)
      << sink.shown[0].first;
  EXPECT_NE(sink.shown[0].first.find("已加密，密码不正确"), std::string::npos)
      << sink.shown[0].first;
  EXPECT_EQ(FolderNames(pdf.path()), (std::vector<std::string>{"a.pdf", "b.pdf"}));
  EXPECT_EQ(FileBytes(pdf.path() / "a.pdf").size(), first.size());
}

// The dialog's initialisation over a real print server.
class PrinterListOnServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PrivateCupsd::Available()) GTEST_SKIP() << "cupsd or the Generic-PDF driver is missing";
    server_ = &PrivateCupsd::Shared();
    server_->PointClientsHere();
  }
  void TearDown() override {
    if (server_) server_->PointClientsHere();
  }
  PrivateCupsd* server_ = nullptr;
};

TEST_F(PrinterListOnServer, DefaultNoDefaultServerDownAndNoQueues) {
  server_->UseQueues({"FilePDF", "Office_HP"}, "FilePDF");
  auto view = PrinterListFor(print::ListPrinters(), "");
  EXPECT_EQ(view.entries, (std::vector<std::string>{kPdf, "FilePDF", "Office_HP"}));
  EXPECT_EQ(view.selected, 1);
  EXPECT_EQ(view.printerName, "FilePDF");

  server_->UseQueues({"FilePDF", "Office_HP"}, "");
  view = PrinterListFor(print::ListPrinters(), "Office_HP");
  EXPECT_EQ(view.selected, -1);
  EXPECT_EQ(view.printerName, "Office_HP");

  server_->UseQueues({"Office", "Office_HP"}, "Office");
  view = PrinterListFor(print::ListPrinters(), "");
  EXPECT_EQ(view.entries[static_cast<std::size_t>(view.selected)], "Office_HP");
  EXPECT_EQ(view.printerName, "Office");

  server_->UseQueues({}, "");
  view = PrinterListFor(print::ListPrinters(), "");
  EXPECT_EQ(view.entries, std::vector<std::string>{kPdf});
  EXPECT_TRUE(view.okEnabled);

  server_->PointClientsNowhere();
  view = PrinterListFor(print::ListPrinters(), "FilePDF");
  EXPECT_EQ(view.entries, (std::vector<std::string>{kPdf, "请安装打印机"}));
  EXPECT_FALSE(view.okEnabled);
}

}  // namespace
}  // namespace ledgerix
