// The bundled example return, read by the embedded engine from its .xlsx file and converted
// whole: the document must match the golden written for it byte for byte. That golden is the
// converter's reviewed output; the second test checks it without the converter, against the
// hand-written address golden (the element tables) and openpyxl's reading of the workbook.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "convert/common/cell_rules.h"
#include "convert/converters.h"
#include "engine/server.h"
#include "tests/convert/test_files.h"
#include "tests/convert/today_clock.h"
#include "tests/outside_tools.h"

namespace ledgerix {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;

const std::string kExample =
    std::string(LEDGERIX_SOURCE_DIR) + "/examples/kind9/粤丰五金_2008年度企业所得税申报表.xlsx";

class IncomeTaxExample : public testing::TodayClockTest {};

TEST_F(IncomeTaxExample, BundledWorkbookConvertsToItsGolden) {
  SetTodayClock([] { return std::chrono::sys_days(std::chrono::year(2012) / 2 / 17); });
  const std::string source = kExample;
  std::shared_ptr<Application> app = engine::CreateEmbeddedApplication();
  std::shared_ptr<Workbook> book = app->GetWorkbooks()->Open(source);
  TempFolder out;
  EXPECT_EQ(ConvertIncomeTaxReturn(out.folder(), *book), 1);
  EXPECT_EQ(out.FileCount(), 1u);
  const std::string written =
      ReadFileBytes(out.path() / "QYSDS_20080101_20081231_440682712345678_V10.xml");
  const std::string golden =
      ReadFileBytes(std::string(LEDGERIX_TEST_DATA) + "/golden/kind9_example.xml");
  ASSERT_FALSE(golden.empty());
  EXPECT_TRUE(written == golden) << "the example's document differs from kind9_example.xml";
  book->Close(false, "");
  app->Quit();
}

TEST_F(IncomeTaxExample, GoldenAgreesWithTheElementTablesAndAnIndependentReading) {
  const std::string command =
      "/usr/bin/python3 '" LEDGERIX_TEST_DATA "/golden/check_kind9_example.py' '" + kExample + "'";
  EXPECT_EQ(testing::RunTool(command), 0) << command;
}

}  // namespace
}  // namespace ledgerix
