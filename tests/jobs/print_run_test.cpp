#include "jobs/print_run.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/server.h"
#include "print/paginate.h"
#include "print/sheet_printer.h"
#include "tests/convert/test_files.h"
#include "tests/support/private_cupsd.h"

namespace ledgerix {
namespace {

using testing::PrivateCupsd;
using testing::ReadFileBytes;
using testing::TempFolder;

struct Message {
  std::string text;
  MessageIcon icon;
};
class RecordingSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text, MessageIcon icon) override {
    messages.push_back({std::string(text), icon});
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Message& m : messages) out.push_back(m.text);
    return out;
  }
  std::vector<Message> messages;
};

const std::filesystem::path kFixtures = std::filesystem::path(LEDGERIX_TEST_DATA) / "print";

// Prints through the real CUPS path with a stand-in for the page drawing: one page naming the
// sheet (ASCII, as the stand-in's font has no CJK) and its A1 text's length.
class PrintRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PrivateCupsd::Available()) GTEST_SKIP() << "cupsd or the Generic-PDF driver is missing";
    server_ = &PrivateCupsd::Shared();
    server_->PointClientsHere();
    server_->UseQueues({"FilePDF", "Office_HP"}, "FilePDF");
    engine::RegisterEmbeddedServer();
    engine::SetPrintHandler([this](engine::Book& book, int sheet, const std::string& path,
                                   std::string_view printer) {
      print::PrintSheetToPrinter(
          book, sheet, path, printer,
          [this](const print::SheetRef& ref, const print::RenderOptions& options) {
            std::string pdf = testing::MinimalPdf({"sheet " + std::to_string(ref.sheet) + " of " +
                                                   std::to_string(ref.book->sheets().size())});
            rendered_.push_back(pdf);
            const engine::PageSetup& page = ref.book->Layout(ref.sheet).page;
            bookPaper_.push_back(
                {page.paper_width_mm.value_or(0), page.paper_height_mm.value_or(0)});
            if (!print::PaperNamedBy(page) && options.unnamed_paper) {
              drawnPaper_.push_back({options.unnamed_paper->width_pt / print::kPointsPerMm,
                                     options.unnamed_paper->height_pt / print::kPointsPerMm});
            } else {
              drawnPaper_.push_back(bookPaper_.back());
            }
            return pdf;
          });
    });
    for (const char* name : {"three_sheets.xlsx", "hidden_only.xlsx"}) {
      std::filesystem::copy_file(kFixtures / name, source_.path() / name);
    }
  }
  void TearDown() override {
    engine::SetPrintHandler(nullptr);
    if (server_) server_->PointClientsHere();
  }
  static std::vector<std::string> Titles(const std::vector<print::QueuedJob>& jobs) {
    std::vector<print::QueuedJob> sorted = jobs;
    std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.id < b.id; });
    std::vector<std::string> out;
    for (const auto& j : sorted) out.push_back(j.title);
    return out;
  }
  PrintBatch Batch(std::vector<std::string> items, const std::string& printer = "FilePDF") {
    PrintBatch b;
    b.sourceFolder = source_.folder();
    b.printerName = printer;
    b.sheetScope = SheetScope::All;
    b.items = std::move(items);
    return b;
  }
  static int Run(SheetScope scope, const std::string& folder, const std::string& file,
                 const std::string& printer, MessageSink& messages, PrintTally* tally) {
    return PrintWorkbook(scope, folder, file, printer, messages, tally);
  }

  PrivateCupsd* server_ = nullptr;
  TempFolder source_;
  std::vector<std::string> rendered_;
  std::vector<std::pair<double, double>> drawnPaper_;  // the size the drawing saw, 0 for none
  std::vector<std::pair<double, double>> bookPaper_;   // the book's own custom size, 0 for none
  RecordingSink sink_;
};

TEST_F(PrintRunTest, EveryVisibleSheetIsOneCompletedJobTitledByFileAndSheetInWorkbookOrder) {
  const std::string before = ReadFileBytes(source_.path() / "three_sheets.xlsx");
  PrintTally tally;
  EXPECT_EQ(PrintWorkbook(SheetScope::All, source_.folder(), "three_sheets.xlsx", "FilePDF", sink_,
                          &tally),
            1);
  auto done = server_->WaitForCompleted("FilePDF", 2);
  EXPECT_EQ(Titles(done),
            (std::vector<std::string>{"three_sheets.xlsx - 甲表", "three_sheets.xlsx - 乙表"}));
  for (const auto& j : done) EXPECT_EQ(j.stateCode, 9) << j.title;
  EXPECT_TRUE(print::ListJobs("Office_HP", true).empty());
  EXPECT_EQ(tally.workbooks, 1);
  EXPECT_EQ(tally.sheets, 2);
  EXPECT_TRUE(sink_.messages.empty());
  EXPECT_EQ(ReadFileBytes(source_.path() / "three_sheets.xlsx"), before);

  EXPECT_EQ(rendered_.size(), 2u);
}

TEST_F(PrintRunTest, TheWorkbooksPaperCopiesAndColourReachTheJob) {
  // The engine reads the sheet's page setup; without it the job's options below mean nothing.
  ASSERT_TRUE(engine::OpenBook((kFixtures / "three_sheets.xlsx").string())->Layout(2).page.paper);
  EXPECT_EQ(PrintWorkbook(SheetScope::All, source_.folder(), "three_sheets.xlsx", "FilePDF", sink_,
                          nullptr),
            1);
  ASSERT_EQ(server_->WaitForCompleted("FilePDF", 2).size(), 2u);
  // The last job (乙表: two copies, A3, black and white) is what the queue wrote last.
  TempFolder ours;
  testing::WriteFileBytes(ours.path() / "ours.pdf", rendered_.back());
  const auto out = server_->OutputOf("FilePDF");
  const std::string one = testing::PdfText(ours.path() / "ours.pdf");
  EXPECT_EQ(testing::PdfText(out), one + one) << "two copies of the same page";
  EXPECT_EQ(testing::PdfPages(out), 2);
  const std::string log = server_->PageLog();
  // The PDF queue has no A3: that job goes without media rather than failing; A4 as named.
  EXPECT_EQ(log.find("iso_a3"), std::string::npos) << log;
  EXPECT_NE(log.find("甲表 iso_a4_210x297mm"), std::string::npos) << log;
}

// A workbook naming no paper is drawn on the printer's default (the user's saved one first) and
// the job asks for that paper; the book itself keeps naming none.
TEST_F(PrintRunTest, AWorkbookWithoutPaperIsDrawnAndPrintedOnThePrintersDefault) {
  const auto noPaper =
      std::filesystem::path(LEDGERIX_TEST_DATA) / "printer_paper" / "no_paper.xlsx";
  std::filesystem::copy_file(noPaper, source_.path() / "no_paper.xlsx");
  {
    auto book = engine::OpenBook(noPaper.string());
    ASSERT_FALSE(book->Layout(0).page.paper) << "the fixture names no paper";
  }
  // The PDF queue's own default is US Letter.
  EXPECT_EQ(PrintWorkbook(SheetScope::Active, source_.folder(), "no_paper.xlsx", "FilePDF", sink_),
            1);
  ASSERT_EQ(server_->WaitForCompleted("FilePDF", 1).size(), 1u);
  ASSERT_EQ(drawnPaper_.size(), 1u);
  EXPECT_NEAR(drawnPaper_[0].first, 215.9, 0.01);
  EXPECT_NEAR(drawnPaper_[0].second, 279.4, 0.01);
  EXPECT_EQ(bookPaper_[0], (std::pair<double, double>{0, 0})) << "the book is not rewritten";
  EXPECT_NE(server_->PageLog().find("无纸张 na_letter_8.5x11in"), std::string::npos)
      << server_->PageLog();

  print::SaveUserDefaults("FilePDF", {{print::kOptMedia, "iso_a5_148x210mm"}});
  EXPECT_EQ(PrintWorkbook(SheetScope::Active, source_.folder(), "no_paper.xlsx", "FilePDF", sink_),
            1);
  ASSERT_EQ(server_->WaitForCompleted("FilePDF", 2).size(), 2u);
  ASSERT_EQ(drawnPaper_.size(), 2u);
  EXPECT_NEAR(drawnPaper_[1].first, 148, 0.01);
  EXPECT_NEAR(drawnPaper_[1].second, 210, 0.01);
  EXPECT_EQ(bookPaper_[1], (std::pair<double, double>{0, 0}));
  EXPECT_NE(server_->PageLog().find("无纸张 iso_a5_148x210mm"), std::string::npos)
      << server_->PageLog();

  // A workbook naming its paper keeps it whatever the printer's default.
  EXPECT_EQ(
      PrintWorkbook(SheetScope::Active, source_.folder(), "three_sheets.xlsx", "FilePDF", sink_),
      1);
  ASSERT_EQ(server_->WaitForCompleted("FilePDF", 3).size(), 3u);
  ASSERT_EQ(drawnPaper_.size(), 3u);
  EXPECT_EQ(drawnPaper_[2].first, 0);
  EXPECT_TRUE(sink_.messages.empty());
}

TEST_F(PrintRunTest, TheActiveSheetAloneUnderActiveScopeAndNothingFromHiddenSheets) {
  PrintTally tally;
  EXPECT_EQ(PrintWorkbook(SheetScope::Active, source_.folder(), "three_sheets.xlsx", "Office_HP",
                          sink_, &tally),
            1);
  EXPECT_EQ(Titles(server_->WaitForCompleted("Office_HP", 1)),
            (std::vector<std::string>{"three_sheets.xlsx - 乙表"}));

  const std::string before = ReadFileBytes(source_.path() / "hidden_only.xlsx");
  EXPECT_EQ(PrintWorkbook(SheetScope::All, source_.folder(), "hidden_only.xlsx", "FilePDF", sink_,
                          &tally),
            0);
  EXPECT_EQ(tally.workbooks, 1);
  EXPECT_EQ(tally.sheets, 1);
  EXPECT_TRUE(print::ListJobs("FilePDF", true).empty());
  EXPECT_TRUE(print::ListJobs("FilePDF", false).empty());
  EXPECT_EQ(ReadFileBytes(source_.path() / "hidden_only.xlsx"), before);
}

TEST_F(PrintRunTest, ProgressForFourFilesAndPrintDoneOnlyWhenTheLastFilePrinted) {
  for (const char* extra : {"b.xlsx", "c.xlsx"}) {
    std::filesystem::copy_file(kFixtures / "three_sheets.xlsx", source_.path() / extra);
  }
  std::vector<int> progress;
  auto record = [&](int v) { progress.push_back(v); };
  PrintBatch batch = Batch({"b.xlsx", "c.xlsx", "three_sheets.xlsx", "hidden_only.xlsx"});
  PrintBatchOutcome outcome = RunPrintBatch(batch, Run, sink_, record);
  EXPECT_EQ(outcome.end, PrintBatchEnd::Completed);
  EXPECT_EQ(progress, (std::vector<int>{0, 25, 25, 50, 50, 75, 75, 100}));
  EXPECT_TRUE(sink_.messages.empty()) << "the last file printed nothing: no 打印完成！";
  EXPECT_EQ(outcome.tally.workbooks, 3);
  EXPECT_EQ(outcome.tally.sheets, 6);
  EXPECT_EQ(server_->WaitForCompleted("FilePDF", 6).size(), 6u);

  // Selected files only, the hidden-only one not among them: the last run printed.
  batch.allFiles = false;
  batch.selected = {2, 0};
  progress.clear();
  outcome = RunPrintBatch(batch, Run, sink_, record);
  EXPECT_EQ(progress, (std::vector<int>{0, 25, 25, 50, 50, 75, 75, 100}));
  EXPECT_EQ(sink_.Texts(), (std::vector<std::string>{"打印完成！"}));
  EXPECT_EQ(sink_.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(outcome.tally.sheets, 4);
}

TEST_F(PrintRunTest, NoSelectionAndAnEmptyListPrintNothing) {
  PrintBatch batch = Batch({"three_sheets.xlsx"});
  batch.allFiles = false;
  std::vector<int> progress;
  auto outcome = RunPrintBatch(batch, Run, sink_, [&](int v) { progress.push_back(v); });
  EXPECT_EQ(outcome.end, PrintBatchEnd::NothingSelected);
  EXPECT_EQ(sink_.Texts(), (std::vector<std::string>{"请选中要打印的文件！"}));
  EXPECT_EQ(sink_.messages[0].icon, MessageIcon::Information);
  EXPECT_TRUE(progress.empty());

  sink_.messages.clear();
  outcome = RunPrintBatch(Batch({}), Run, sink_, [&](int v) { progress.push_back(v); });
  EXPECT_EQ(outcome.end, PrintBatchEnd::Completed);
  EXPECT_TRUE(sink_.messages.empty());
  EXPECT_TRUE(progress.empty());
  EXPECT_TRUE(rendered_.empty());
}

TEST_F(PrintRunTest, AnUnknownOrEmptyPrinterEndsTheBatchNamingTheFileAndPrintsNowhereElse) {
  for (const std::string printer : {"NoSuchPrinter", ""}) {
    sink_.messages.clear();
    std::vector<int> progress;
    auto outcome = RunPrintBatch(Batch({"three_sheets.xlsx", "hidden_only.xlsx"}, printer), Run,
                                 sink_, [&](int v) { progress.push_back(v); });
    EXPECT_EQ(outcome.end, PrintBatchEnd::Failed) << printer;
    ASSERT_EQ(sink_.messages.size(), 1u);
    EXPECT_EQ(sink_.messages[0].icon, MessageIcon::Stop);
    const std::string& text = sink_.messages[0].text;
    EXPECT_EQ(text.rfind("打印文件 three_sheets.xlsx 时出错：", 0), 0u) << text;
    EXPECT_NE(text.find("甲表"), std::string::npos) << "the sheet is named: " << text;
    if (!printer.empty()) {
      EXPECT_NE(text.find(printer), std::string::npos) << text;
    }
    EXPECT_EQ(progress, std::vector<int>{0}) << "stopped on the first file";
  }
  EXPECT_TRUE(print::ListJobs("FilePDF", true).empty());
  EXPECT_TRUE(print::ListJobs("FilePDF", false).empty());
  EXPECT_TRUE(print::ListJobs("Office_HP", true).empty());
}

TEST_F(PrintRunTest, AMissingWorkbookEndsTheBatchAndAMissingServerIsToldPerFile) {
  auto outcome = RunPrintBatch(Batch({"gone.xlsx", "three_sheets.xlsx"}), Run, sink_, [](int) {});
  EXPECT_EQ(outcome.end, PrintBatchEnd::Failed);
  ASSERT_EQ(sink_.messages.size(), 1u);
  EXPECT_NE(sink_.messages[0].text.find("gone.xlsx"), std::string::npos);
  EXPECT_TRUE(rendered_.empty());

  sink_.messages.clear();
  RegisterServer(kSpreadsheetProgId, [] { return std::shared_ptr<Application>(); });
  outcome = RunPrintBatch(Batch({"three_sheets.xlsx", "hidden_only.xlsx"}), Run, sink_, [](int) {});
  engine::RegisterEmbeddedServer();
  EXPECT_EQ(outcome.end, PrintBatchEnd::Completed);
  EXPECT_EQ(sink_.Texts(),
            (std::vector<std::string>{"无法创建Excel应用程序！", "无法创建Excel应用程序！"}));
  EXPECT_EQ(sink_.messages[0].icon, MessageIcon::Stop);
}

TEST(PrintOutWithoutPrinting, TheEngineRefusesWhenNoPrintingIsInstalled) {
  engine::SetPrintHandler(nullptr);
  auto app = engine::CreateEmbeddedApplication();
  auto book = app->GetWorkbooks()->Open((kFixtures / "three_sheets.xlsx").string());
  EXPECT_THROW(book->GetActiveSheet()->PrintOut("FilePDF"), AutomationError);
}

}  // namespace
}  // namespace ledgerix

namespace ledgerix {
namespace {

// The whole path with the real page drawing: the queue's PDF holds our pages.
TEST_F(PrintRunTest, TheExampleWorkbookPrintsAsOurOwnPdfOfItsSheets) {
  print::InstallSheetPrinter();
  const std::filesystem::path example = std::filesystem::path(LEDGERIX_SOURCE_DIR) / "examples" /
                                        "kind5" / "恒信商贸_2008年资产负债表.xls";
  ASSERT_TRUE(std::filesystem::exists(example));
  std::filesystem::copy_file(example, source_.path() / example.filename());
  const std::string name = example.filename().string();
  const std::string before = ReadFileBytes(source_.path() / name);

  auto book = engine::OpenBook(example.string());
  std::vector<int> visible;
  for (std::size_t i = 0; i < book->sheets().size(); ++i) {
    if (book->sheets()[i].visible == xlSheetVisible) visible.push_back(static_cast<int>(i));
  }
  ASSERT_FALSE(visible.empty());

  PrintTally tally;
  EXPECT_EQ(PrintWorkbook(SheetScope::All, source_.folder(), name, "FilePDF", sink_, &tally), 1);
  auto done = server_->WaitForCompleted("FilePDF", visible.size());
  std::vector<std::string> expected;
  for (int s : visible) expected.push_back(name + " - " + book->sheets()[s].name);
  EXPECT_EQ(Titles(done), expected);
  for (const auto& j : done) EXPECT_EQ(j.stateCode, 9) << j.title << " did not complete";
  EXPECT_EQ(tally.sheets, static_cast<int>(visible.size()));
  EXPECT_EQ(ReadFileBytes(source_.path() / name), before);

  // The last job is what the queue wrote last: the same pages and text as our PDF of it.
  print::RenderOptions options;
  options.file_name = name;
  options.folder = source_.folder();
  int pages = 0;
  const std::string ours = print::RenderPdfBytes({{book.get(), visible.back()}}, options, &pages);
  TempFolder folder;
  testing::WriteFileBytes(folder.path() / "ours.pdf", ours);
  const auto out = server_->OutputOf("FilePDF");
  const int copies = book->Layout(visible.back()).page.copies.value_or(1);
  EXPECT_EQ(testing::PdfPages(out), pages * std::max(1, copies));
  const std::string text = testing::PdfText(folder.path() / "ours.pdf");
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(testing::PdfText(out).substr(0, text.size()), text);
}

}  // namespace
}  // namespace ledgerix
