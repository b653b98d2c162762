#include "print/sheet_printer.h"

#include <gtest/gtest.h>

#include "bridges/spreadsheet.h"
#include "tests/support/private_cupsd.h"

namespace ledgerix::print {
namespace {

using testing::PrivateCupsd;

const std::string kBook = std::string(LEDGERIX_TEST_DATA) + "/print/three_sheets.xlsx";

TEST(JobOptionsForPageSetup, TheWorkbooksPaperCopiesAndColourUnlessOverridden) {
  engine::PageSetup page;
  JobOptions o = JobOptionsFor(page, {});
  EXPECT_EQ(o.media, "") << "no paper named: the printer's";
  EXPECT_EQ(o.copies, 0);
  EXPECT_FALSE(o.monochrome);

  page.paper = 9;
  page.copies = 3;
  page.black_and_white = true;
  o = JobOptionsFor(page, {});
  EXPECT_EQ(o.media, "iso_a4_210x297mm");
  EXPECT_EQ(o.copies, 3);
  EXPECT_TRUE(o.monochrome);

  PrintOverrides overrides;
  overrides.copies = 2;
  EXPECT_EQ(JobOptionsFor(page, overrides).copies, 2);

  page.paper = 300;  // a printer-specific custom paper
  page.copies = 0;
  o = JobOptionsFor(page, {});
  EXPECT_EQ(o.media, "");
  EXPECT_EQ(o.copies, 0);
}

TEST(JobTitles, FileNameWithoutFolderThenSheet) {
  EXPECT_EQ(JobTitle("/home/会计/报表/恒信商贸.xls", "资产负债表"), "恒信商贸.xls - 资产负债表");
  EXPECT_EQ(JobTitle("a.xlsx", "Sheet1"), "a.xlsx - Sheet1");
}

TEST(ScopedOverrides, RestoreWhatWasSetBefore) {
  SetPrintOverrides({false, 0});
  {
    ScopedPrintOverrides scoped({true, 4});
    EXPECT_TRUE(CurrentPrintOverrides().fit_width);
    EXPECT_EQ(CurrentPrintOverrides().copies, 4);
  }
  EXPECT_FALSE(CurrentPrintOverrides().fit_width);
  EXPECT_EQ(CurrentPrintOverrides().copies, 0);
}

class SheetPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PrivateCupsd::Available()) GTEST_SKIP() << "cupsd or the Generic-PDF driver is missing";
    server_ = &PrivateCupsd::Shared();
    server_->PointClientsHere();
    server_->UseQueues({"FilePDF", "Office_HP"}, "FilePDF");
    book_ = engine::OpenBook(kBook);
  }
  PrivateCupsd* server_ = nullptr;
  std::unique_ptr<engine::Book> book_;
};

TEST_F(SheetPrinterTest, TheRendererGetsTheFileAndOverridesAndTheJobTheTitle) {
  std::vector<RenderOptions> seen;
  auto render = [&](const SheetRef& ref, const RenderOptions& options) {
    EXPECT_EQ(ref.book, book_.get());
    EXPECT_EQ(ref.sheet, 2);
    seen.push_back(options);
    return testing::MinimalPdf({"page"});
  };
  ScopedPrintOverrides fit({true, 0});
  const int job =
      PrintSheetToPrinter(*book_, 2, "/srv/报表/three_sheets.xlsx", "Office_HP", render);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].fit_width);
  EXPECT_EQ(seen[0].file_name, "three_sheets.xlsx");
  EXPECT_EQ(seen[0].folder, "/srv/报表/");
  auto done = server_->WaitForCompleted("Office_HP", 1);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].id, job);
  EXPECT_EQ(done[0].title, "three_sheets.xlsx - 乙表");
}

TEST_F(SheetPrinterTest, NoPrinterNameFailsBeforeAnyDrawingAndDrawingFailuresNameTheSheet) {
  int calls = 0;
  auto render = [&](const SheetRef&, const RenderOptions&) {
    ++calls;
    return testing::MinimalPdf({"page"});
  };
  try {
    PrintSheetToPrinter(*book_, 0, kBook, "", render);
    FAIL() << "printed without a printer";
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("甲表"), std::string::npos) << e.what();
  }
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(ListJobs("FilePDF", false).empty());
  EXPECT_TRUE(ListJobs("FilePDF", true).empty());

  auto broken = [](const SheetRef&, const RenderOptions&) -> std::string {
    throw std::runtime_error("字体缺失");
  };
  try {
    PrintSheetToPrinter(*book_, 0, kBook, "FilePDF", broken);
    FAIL() << "a drawing failure was swallowed";
  } catch (const AutomationError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("甲表"), std::string::npos) << what;
    EXPECT_NE(what.find("字体缺失"), std::string::npos) << what;
  }
}

}  // namespace
}  // namespace ledgerix::print
