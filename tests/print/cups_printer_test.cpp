#include "print/cups_printer.h"

#include <gtest/gtest.h>

#include <fstream>

#include "bridges/spreadsheet.h"
#include "tests/support/private_cupsd.h"

namespace ledgerix::print {
namespace {

using testing::PdfPages;
using testing::PdfText;
using testing::PrivateCupsd;

class CupsPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PrivateCupsd::Available()) GTEST_SKIP() << "cupsd or the Generic-PDF driver is missing";
    server_ = &PrivateCupsd::Shared();
    server_->PointClientsHere();
    server_->UseQueues({"FilePDF", "Office_HP"}, "FilePDF");
  }
  void TearDown() override {
    if (server_) server_->PointClientsHere();
  }
  std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  PrivateCupsd* server_ = nullptr;
};

TEST_F(CupsPrinterTest, ListsTheQueuesWithTheDefaultAndTellsAFailedEnumerationFromAnEmptyOne) {
  PrinterList list = ListPrinters();
  ASSERT_TRUE(list.ok) << list.error;
  EXPECT_EQ(list.names, (std::vector<std::string>{"FilePDF", "Office_HP"}));
  EXPECT_EQ(list.defaultName, "FilePDF");

  server_->SetDefault("Office_HP");
  EXPECT_EQ(ListPrinters().defaultName, "Office_HP");

  server_->RemoveAllQueues();
  list = ListPrinters();
  EXPECT_TRUE(list.ok) << "a server without queues is a successful enumeration: " << list.error;
  EXPECT_TRUE(list.names.empty());
  EXPECT_EQ(list.defaultName, "");

  server_->PointClientsNowhere();
  list = ListPrinters();
  EXPECT_FALSE(list.ok) << "an unreachable server must not look like one without queues";
  EXPECT_FALSE(list.error.empty());
  EXPECT_TRUE(list.names.empty());
}

TEST_F(CupsPrinterTest, AJobReachesOnlyTheNamedQueueWithItsTitlePaperCopiesAndPages) {
  const std::string pdf = testing::MinimalPdf({"Ledgerix page one", "Ledgerix page two"});
  JobOptions options;
  options.title = "资产负债表.xls - 资产负债表";
  options.media = "iso_a4_210x297mm";
  options.copies = 2;
  const int job = SubmitPdf("FilePDF", pdf, options);
  EXPECT_GT(job, 0);

  auto done = server_->WaitForCompleted("FilePDF", 1);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].id, job);
  EXPECT_EQ(done[0].title, options.title);
  EXPECT_EQ(done[0].stateCode, 9);
  EXPECT_TRUE(ListJobs("Office_HP", true).empty());

  const auto out = server_->OutputOf("FilePDF");
  ASSERT_TRUE(std::filesystem::exists(out)) << "the PDF queue wrote nothing";
  const std::string text = PdfText(out);
  EXPECT_NE(text.find("Ledgerix page one"), std::string::npos) << text;
  EXPECT_NE(text.find("Ledgerix page two"), std::string::npos) << text;
  EXPECT_EQ(PdfPages(out), 4) << "two copies of two pages";
  const std::string log = server_->PageLog();
  EXPECT_NE(log.find("iso_a4_210x297mm"), std::string::npos) << log;
}

TEST_F(CupsPrinterTest, UnknownOrEmptyPrinterNamesFailNamingThePrinterAndPrintNothingElsewhere) {
  const std::string pdf = testing::MinimalPdf({"never printed"});
  JobOptions options;
  options.title = "a.xls - Sheet1";
  try {
    SubmitPdf("NoSuchPrinter", pdf, options);
    FAIL() << "an unknown printer was accepted";
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("NoSuchPrinter"), std::string::npos) << e.what();
  }
  // With no name libcups would pick the default; that must not happen.
  EXPECT_THROW(SubmitPdf("", pdf, options), AutomationError);
  EXPECT_THROW(SubmitPdf("/instance", pdf, options), AutomationError);
  EXPECT_TRUE(ListJobs("FilePDF", true).empty());
  EXPECT_TRUE(ListJobs("FilePDF", false).empty());
  EXPECT_TRUE(ListJobs("Office_HP", true).empty());

  server_->PointClientsNowhere();
  try {
    SubmitPdf("FilePDF", pdf, options);
    FAIL() << "a job went through with the server down";
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("FilePDF"), std::string::npos) << e.what();
  }
}

TEST_F(CupsPrinterTest, ARejectingQueueRefusesTheJobWithCupsReason) {
  testing::RunTool(
      {"/usr/sbin/cupsreject", "-h", server_->Server(), "-r", "纸盒已取出", "Office_HP"});
  try {
    SubmitPdf("Office_HP", testing::MinimalPdf({"x"}), JobOptions{});
    FAIL() << "a rejecting queue took the job";
  } catch (const AutomationError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("Office_HP"), std::string::npos) << what;
    EXPECT_NE(what.find("not accepting jobs"), std::string::npos) << "CUPS's reason: " << what;
  }
}

TEST_F(CupsPrinterTest, SavedUserDefaultsApplyToLaterJobsUnlessTheJobNamesItsOwn) {
  SaveUserDefaults("FilePDF", {{kOptMedia, "iso_a5_148x210mm"}, {kOptCopies, "3"}});
  EXPECT_EQ(UserDefault("FilePDF", kOptMedia), "iso_a5_148x210mm");
  EXPECT_EQ(UserDefault("FilePDF", kOptCopies), "3");
  EXPECT_EQ(UserDefault("Office_HP", kOptMedia), "");
  // Saving options must not turn the server's default into a pinned user choice.
  const std::string file = ReadFile(server_->dir() / "home" / ".cups" / "lpoptions");
  EXPECT_EQ(file.find("Default"), std::string::npos) << file;
  server_->SetDefault("Office_HP");
  EXPECT_EQ(ListPrinters().defaultName, "Office_HP");

  JobOptions plain;
  plain.title = "defaults";
  SubmitPdf("FilePDF", testing::MinimalPdf({"one page"}), plain);
  ASSERT_EQ(server_->WaitForCompleted("FilePDF", 1).size(), 1u);
  EXPECT_EQ(PdfPages(server_->OutputOf("FilePDF")), 3) << "the saved three copies";
  EXPECT_NE(server_->PageLog().find("iso_a5_148x210mm"), std::string::npos);

  JobOptions own;
  own.title = "own";
  own.media = "iso_a4_210x297mm";
  own.copies = 1;
  SubmitPdf("FilePDF", testing::MinimalPdf({"one page"}), own);
  ASSERT_EQ(server_->WaitForCompleted("FilePDF", 2).size(), 2u);
  EXPECT_EQ(PdfPages(server_->OutputOf("FilePDF")), 1);
  const std::string log = server_->PageLog();
  EXPECT_NE(log.find("iso_a4_210x297mm"), std::string::npos) << log;

  // An empty value takes the option away again.
  SaveUserDefaults("FilePDF", {{kOptCopies, ""}});
  EXPECT_EQ(UserDefault("FilePDF", kOptCopies), "");
  EXPECT_EQ(UserDefault("FilePDF", kOptMedia), "iso_a5_148x210mm");
  EXPECT_THROW(SaveUserDefaults("NoSuchPrinter", {{kOptCopies, "2"}}), AutomationError);
}

TEST_F(CupsPrinterTest, PropertiesShowTheDriverStateChoicesAndQueuedJobs) {
  testing::RunTool({"/usr/sbin/cupsdisable", "-h", server_->Server(), "Office_HP"});
  JobOptions options;
  options.title = "排队中的作业";
  SubmitPdf("Office_HP", testing::MinimalPdf({"held"}), options);

  auto info = QueryPrinter("Office_HP");
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->makeAndModel, "Generic PDF Printer");
  EXPECT_EQ(info->state, "已停止");
  ASSERT_EQ(info->jobs.size(), 1u);
  EXPECT_EQ(info->jobs[0].title, "排队中的作业");
  const auto& media = info->choices[kOptMedia].supported;
  EXPECT_NE(std::find(media.begin(), media.end(), "iso_a4_210x297mm"), media.end());
  EXPECT_FALSE(info->choices[kOptSides].supported.empty());
  EXPECT_GE(info->maxCopies, 1);
  testing::RunTool({"/usr/sbin/cupsenable", "-h", server_->Server(), "Office_HP"});

  auto idle = QueryPrinter("FilePDF");
  ASSERT_TRUE(idle.has_value());
  EXPECT_EQ(idle->state, "空闲");
  EXPECT_TRUE(idle->jobs.empty());

  EXPECT_FALSE(QueryPrinter("NoSuchPrinter").has_value());
  EXPECT_FALSE(QueryPrinter("").has_value());
  server_->PointClientsNowhere();
  EXPECT_FALSE(QueryPrinter("FilePDF").has_value());
}

TEST(MediaNames, PaperCodesMapToTheSizesCupsKnows) {
  EXPECT_EQ(MediaForPaperCode(9), "iso_a4_210x297mm");
  EXPECT_EQ(MediaForPaperCode(1), "na_letter_8.5x11in");
  EXPECT_EQ(MediaForPaperCode(8), "iso_a3_297x420mm");
  EXPECT_EQ(MediaForPaperCode(13), "jis_b5_182x257mm");
  EXPECT_EQ(MediaForPaperCode(0), "");
  EXPECT_EQ(MediaForPaperCode(256), "");
  EXPECT_EQ(MediaForPaperCode(-1), "");
  EXPECT_EQ(MediaLabel("iso_a4_210x297mm"), "A4 210×297 mm");
  EXPECT_EQ(MediaLabel("custom_x"), "custom_x");
}

}  // namespace
}  // namespace ledgerix::print
