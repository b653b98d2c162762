// The one JSON writer of a workbook (dump and the corpus tests): numbers read back exactly and
// stay valid JSON when they are not finite, strings are escaped, and a sheet that cannot be
// read is reported in its place when asked.
#include "engine/workbook_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace ledgerix::engine {
namespace {

std::string Number(double v) {
  std::string out;
  AppendJsonNumber(out, v);
  return out;
}

TEST(WorkbookJson, NumbersAreValidJsonAndReadBackExactly) {
  EXPECT_EQ(Number(12), "12.0");
  EXPECT_EQ(Number(-5), "-5.0");
  EXPECT_EQ(Number(1000.5), "1000.5");
  EXPECT_EQ(Number(0.1), "0.1");
  EXPECT_EQ(Number(1e300), "1e+300");
  EXPECT_EQ(std::stod(Number(1.0 / 3)), 1.0 / 3);
  EXPECT_EQ(Number(std::numeric_limits<double>::quiet_NaN()), "\"nan\"");
  EXPECT_EQ(Number(std::numeric_limits<double>::infinity()), "\"inf\"");
  EXPECT_EQ(Number(-std::numeric_limits<double>::infinity()), "\"-inf\"");
}

TEST(WorkbookJson, StringsEscapeQuotesBackslashesAndControls) {
  std::string out;
  AppendJsonString(out, "a\"b\\c\nd\te\x01利");
  EXPECT_EQ(out, "\"a\\\"b\\\\c\\nd\\te\\u0001利\"");
}

TEST(WorkbookJson, AnUnreadableSheetIsReportedInItsPlaceWhenAsked) {
  auto book = OpenBook(std::string(LEDGERIX_TEST_DATA) + "/xls/hostile/mulrk_past_last_column.xls");
  WorkbookJsonOptions options;
  options.sheet_errors = true;
  const std::string json = WorkbookJson(*book, "hostile.xls", options);
  EXPECT_EQ(json.rfind("{\"file\": \"hostile.xls\", \"sheets\": [{\"name\": ", 0), 0u) << json;
  EXPECT_NE(json.find("\"cells\": {}, \"cells_error\": \""), std::string::npos) << json;
  EXPECT_NE(json.find("record MULRK at offset 0x566"), std::string::npos) << json;
  // The other sheets are written whole, and the book's own fields close the line.
  EXPECT_NE(json.find("\"error\": null, \"format\": \"BIFF8\", \"date1904\": false}"),
            std::string::npos)
      << json;
  EXPECT_THROW(WorkbookJson(*book, "hostile.xls"), BookError);
}

TEST(WorkbookJson, AWorkbookThatDoesNotOpenHasItsErrorAndNoSheets) {
  EXPECT_EQ(UnopenedWorkbookJson("x/\"a\".xls", "不是工作簿"),
            "{\"file\": \"x/\\\"a\\\".xls\", \"sheets\": [], \"active_sheet\": null, \"error\": "
            "\"不是工作簿\"}");
}

}  // namespace
}  // namespace ledgerix::engine
