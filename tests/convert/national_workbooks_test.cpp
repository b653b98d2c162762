// The kind 2-4 converters over real workbooks (.xlsx and .xls): the goldens through the
// embedded engine, and sheet scopes and a failing batch through ledgerix-cli.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/common/cell_rules.h"
#include "convert/converters.h"
#include "engine/server.h"
#include "tests/convert/test_files.h"
#include "tests/convert/today_clock.h"

namespace ledgerix {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempFolder;

const fs::path kFixtures = fs::path(LEDGERIX_TEST_DATA) / "national";
const fs::path kGoldens = fs::path(LEDGERIX_TEST_DATA) / "golden";

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::chrono::system_clock::time_point FixedToday() {
  std::tm tm{};
  tm.tm_year = 2009 - 1900;
  tm.tm_mon = 2;
  tm.tm_mday = 15;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

class NationalWorkbooks : public testing::TodayClockTest,
                          public ::testing::WithParamInterface<const char*> {
 protected:
  fs::path Fixture(const std::string& stem) const { return kFixtures / (stem + GetParam()); }
};

TEST_P(NationalWorkbooks, EngineSheetsConvertToTheGoldens) {
  SetTodayClock(&FixedToday);
  struct Case {
    const char* sheetName;
    WorksheetConverter convert;
    const char* fileName;
    const char* golden;
  } cases[] = {
      {"制度利润表", &ConvertSystemIncomeStatement, "LRB_20080101_20080331_440106123456789_CRC.xml",
       "kind2_lrb_system.xml"},
      {"准则资产负债表", &ConvertStandardsBalanceSheet,
       "ZZFZB_20080101_20080331_440106123456789_CRC.xml", "kind3_zzfzb_standards.xml"},
      {"准则利润表", &ConvertStandardsIncomeStatement,
       "LRB_20081001_20081231_440106123456789_CRC.xml", "kind4_lrb_standards.xml"},
  };
  std::shared_ptr<Application> app = engine::CreateEmbeddedApplication();
  std::shared_ptr<Workbook> book = app->GetWorkbooks()->Open(Fixture("golden_statements").string());
  std::shared_ptr<Worksheets> sheets = book->GetWorksheets();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sheetName);
    std::shared_ptr<Worksheet> sheet;
    for (std::int32_t i = 1; i <= sheets->GetCount(); ++i) {
      if (sheets->GetItem(i)->GetName() == c.sheetName) sheet = sheets->GetItem(i);
    }
    ASSERT_TRUE(sheet);
    TempFolder out;
    EXPECT_EQ(c.convert(out.folder(), *sheet), 1);
    ASSERT_EQ(FilesIn(out.path()), std::vector<std::string>{c.fileName});
    EXPECT_TRUE(ReadFileBytes(out.path() / c.fileName) == ReadFileBytes(kGoldens / c.golden))
        << "differs from " << c.golden;
  }
  book->Close(false, "");
  app->Quit();
}

struct CliResult {
  int status = -1;
  std::string output;
};

// Runs the command-line converter of this build; its output (both streams) is returned.
CliResult RunCli(const std::vector<std::string>& args) {
  const fs::path program = fs::path(LEDGERIX_PROGRAM_DIR) / "ledgerix-cli";
  EXPECT_TRUE(fs::exists(program)) << program << " is not built";
  TempFolder logs;
  std::string command = "'" + program.string() + "'";
  for (const std::string& a : args) command += " '" + a + "'";
  command += " >'" + (logs.path() / "out").string() + "' 2>&1";
  CliResult result;
  int raw = std::system(command.c_str());
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.output = ReadFileBytes(logs.path() / "out");
  return result;
}

TEST_P(NationalWorkbooks, SheetScopesSkipHiddenSheetsAndPickTheActiveOne) {
  const std::string file = Fixture("scopes").filename().string();
  for (const char* kind : {"2", "3", "4"}) {
    SCOPED_TRACE(std::string("kind ") + kind);
    const std::string prefix = std::string(kind) == "3" ? "ZZFZB_" : "LRB_";
    auto name = [&](const char* taxpayer) {
      return prefix + "20080101_20080331_" + taxpayer + "_CRC.xml";
    };

    TempFolder all;
    CliResult r = RunCli({"convert", "--kind", kind, "--source", kFixtures.string(), "--save",
                          all.path().string(), "--sheets", "all", file});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(FilesIn(all.path()),
              (std::vector<std::string>{name("111111111111111"), name("333333333333333")}));

    TempFolder active;
    r = RunCli({"convert", "--kind", kind, "--source", kFixtures.string(), "--save",
                active.path().string(), "--sheets", "active", file});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(FilesIn(active.path()), std::vector<std::string>{name("333333333333333")});
  }
}

TEST_P(NationalWorkbooks, ErrorValueInABodyCellEndsTheBatchLeavingNoFile) {
  // The list order puts error_value before scopes: the batch stops before scopes is run.
  TempFolder out;
  CliResult r =
      RunCli({"convert", "--kind", "3", "--source", kFixtures.string(), "--save",
              out.path().string(), "--sheets", "all", Fixture("error_value").filename().string(),
              Fixture("scopes").filename().string()});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("#DIV/0!"), std::string::npos) << r.output;
  EXPECT_EQ(FilesIn(out.path()), std::vector<std::string>{});
}

// Every visible sheet of the bundled examples converts, with the names and dates the
// examples were made to show.
TEST(NationalExamples, EveryVisibleSheetConverts) {
  struct Case {
    const char* folder;
    WorksheetConverter convert;
    std::size_t lines;  // 0: depends on the keyed rows
    std::vector<std::string> files;
  } cases[] = {
      {"kind2",
       &ConvertSystemIncomeStatement,
       0,
       {"LRB_20080101_20080331_440106190012345_CRC.xml",
        "LRB_20080101_20080630_440300279876543_CRC.xml"}},
      {"kind3",
       &ConvertStandardsBalanceSheet,
       163,
       {"ZZFZB_20080101_20080331_440104618834567_CRC.xml",
        "ZZFZB_20080401_20080630_440104618834567_CRC.xml"}},
      {"kind4",
       &ConvertStandardsIncomeStatement,
       65,
       {"LRB_20080101_20080331_440183555512345_CRC.xml",
        "LRB_20080101_20081231_440104618834567_CRC.xml"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    TempFolder out;
    for (const auto& entry :
         fs::directory_iterator(fs::path(LEDGERIX_SOURCE_DIR) / "examples" / c.folder)) {
      std::shared_ptr<Application> app = engine::CreateEmbeddedApplication();
      std::shared_ptr<Workbook> book = app->GetWorkbooks()->Open(entry.path().string());
      std::shared_ptr<Worksheets> sheets = book->GetWorksheets();
      for (std::int32_t i = 1; i <= sheets->GetCount(); ++i) {
        std::shared_ptr<Worksheet> sheet = sheets->GetItem(i);
        if (sheet->GetVisible() == xlSheetVisible) c.convert(out.folder(), *sheet);
      }
      book->Close(false, "");
      app->Quit();
    }
    ASSERT_EQ(FilesIn(out.path()), c.files);
    if (c.convert == &ConvertStandardsIncomeStatement) {
      // Prepared a month after the period end, on a day April has.
      EXPECT_NE(ReadFileBytes(out.path() / c.files[0]).find("<tbrq>20080430</tbrq>\n"),
                std::string::npos);
      EXPECT_NE(ReadFileBytes(out.path() / c.files[1]).find("<tbrq>20090131</tbrq>\n"),
                std::string::npos);
    }
    for (const std::string& name : c.files) {
      std::string bytes = ReadFileBytes(out.path() / name);
      if (c.lines) {
        EXPECT_EQ(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')), c.lines)
            << name;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, NationalWorkbooks, ::testing::Values(".xlsx", ".xls"),
                         [](const auto& info) { return std::string(info.param + 1); });

}  // namespace
}  // namespace ledgerix
