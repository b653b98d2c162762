#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"
#include "convert/common/program_folder.h"
#include "tests/convert/test_files.h"

namespace ledgerix {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

const std::string kData = LEDGERIX_TEST_DATA;
const std::string kGoldenName = "ZCFZB_20080101_20080331_440106123456789_CRC.xml";

struct CliResult {
  int status;
  std::string out, err;
};

CliResult RunArgs(std::vector<std::string> args) {
  std::ostringstream out, err;
  int status = RunCli(args, out, err, false);
  return {status, out.str(), err.str()};
}

TEST(Cli, UsageErrorsExitTwoWithTheUsageText) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {},
           {"frobnicate"},
           {"convert", "--kind", "0", "--source", "/tmp", "--save", "/tmp"},
           {"convert", "--kind", "1x", "--source", "/tmp", "--save", "/tmp"},
           {"convert", "--kind", "1", "--source", "/tmp"},
           {"convert", "--kind", "1", "--source", "/tmp", "--save", "/tmp", "--sheets", "some"},
           {"convert", "--kind", "1", "--source", "/tmp", "--save", "/tmp", "--bogus"},
           {"dump"},
       }) {
    CliResult r = RunArgs(args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("ledgerix-cli convert --kind K"), std::string::npos);
  }
  CliResult help = RunArgs({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("dump FILE"), std::string::npos);
}

class CliConvert : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"balance.xlsx", "balance.xls"}) {
      std::filesystem::copy_file(kData + "/kind1/" + name, source.path() / name);
    }
  }
  CliResult Convert(std::vector<std::string> extra) {
    std::vector<std::string> args = {
        "convert",           "--kind", "1", "--source", source.path().string(), "--save",
        save.path().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunArgs(args);
  }
  TempFolder source, save;
};

TEST_F(CliConvert, ConvertsTheListedFilesToTheGoldenDocument) {
  CliResult r = Convert({"--type", "xlsx"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(save.path() / kGoldenName),
            ReadFileBytes(kData + "/golden/kind1_zcfzb_system.xml"));
  EXPECT_EQ(r.out, "balance.xlsx\t1\t" + save.folder() + kGoldenName + "\n任务完成！\n");
  EXPECT_EQ(save.FileCount(), 1u);
}

TEST_F(CliConvert, XlsSourceGivesTheSameDocument) {
  CliResult r = Convert({"--type", "xls", "--sheets", "all"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(save.path() / kGoldenName),
            ReadFileBytes(kData + "/golden/kind1_zcfzb_system.xml"));
  EXPECT_EQ(save.FileCount(), 1u);  // the hidden sheet is skipped
}

TEST_F(CliConvert, PickedFilesRunInListOrder) {
  WriteFileBytes(source.path() / "a-not-a-workbook.xlsx", "plain text");
  CliResult r = Convert({"balance.xlsx", "balance.xls"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("balance.xls\t"), 0u);
  EXPECT_NE(r.out.find("\nbalance.xlsx\t"), std::string::npos);

  EXPECT_EQ(Convert({"missing.xlsx"}).status, 2);
}

TEST_F(CliConvert, AnUnreadableFileEndsTheBatch) {
  WriteFileBytes(source.path() / "a-not-a-workbook.xlsx", "plain text");
  CliResult r = Convert({});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("a-not-a-workbook.xlsx"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("文件不是有效的Excel工作簿"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("任务完成"), std::string::npos);
  EXPECT_EQ(save.FileCount(), 0u);  // balance.* come later in the list and never run
}

TEST_F(CliConvert, MissingSaveFolderIsAnErrorAtTheFirstWrite) {
  CliResult r = RunArgs({"convert", "--kind", "1", "--source", source.path().string(), "--save",
                         (save.path() / "nowhere").string(), "balance.xlsx"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("nowhere"), std::string::npos) << r.err;
}

TEST_F(CliConvert, MissingSaveFolderIsNamedBeforeAnyFileIsRead) {
  CliResult r = RunArgs({"convert", "--kind", "1", "--source", source.path().string(), "--save",
                         (save.path() / "nowhere").string(), "balance.xlsx", "balance.xls"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "保存文件夹《" + (save.path() / "nowhere").string() + "/》不存在，没有转换任何文件\n");
  EXPECT_EQ(r.out, "");  // no file was started
}

TEST(CliTemplates, AMissingTemplateWithNothingWrittenExitsOne) {
  TempFolder program, save;
  const std::string before = ProgramFolder();
  SetProgramFolder(program.folder());  // holds no template
  std::ostringstream out, err;
  int status =
      RunCli({"convert", "--kind", "5", "--source",
              std::string(LEDGERIX_SOURCE_DIR) + "/examples/kind5", "--save", save.path().string()},
             out, err, false);
  SetProgramFolder(before);
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.str().find("请检查《" + program.folder()), std::string::npos) << err.str();
  EXPECT_EQ(save.FileCount(), 0u);
  // With the template there the same batch writes its workbook and succeeds.
  std::ostringstream out2, err2;
  EXPECT_EQ(
      RunCli({"convert", "--kind", "5", "--source",
              std::string(LEDGERIX_SOURCE_DIR) + "/examples/kind5", "--save", save.path().string()},
             out2, err2, false),
      0)
      << err2.str();
}

TEST(CliDump, PrintsSheetsVisibilityAndTypedCells) {
  CliResult r = RunArgs({"dump", kData + "/kind1/balance.xlsx"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* part :
       {"\"name\": \"资产负债表\", \"visibility\": 0", "\"name\": \"隐藏的表\", \"visibility\": 1",
        "\"C6\": [\"n\", 1000.5]", "\"G40\": [\"b\", true]", "\"B8\": [\"s\", \" 短期投资\"]",
        "\"active_sheet\": 0"}) {
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
  }
  EXPECT_EQ(RunArgs({"dump", kData + "/kind1/make_fixtures.py"}).status, 1);
}

}  // namespace
}  // namespace ledgerix
