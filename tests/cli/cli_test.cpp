#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <sstream>

#include "cli/cli_app.h"
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

// The order the conversion dialog lists these names in (its own test pins the same list):
// Chinese names by pinyin first, then Latin ones with case ignored, whatever the locale.
const std::vector<std::string> kChineseOrder = {"阿里.xlsx",       "北京分公司.xlsx", "重庆.xlsx",
                                                "资产负债表.xlsx", "abc.xlsx",        "B.xlsx",
                                                "Zeta.xlsx"};

TEST_F(CliConvert, FilesRunInChineseCollationOrderUnderAnyLocale) {
  TempFolder mixed;
  for (auto it = kChineseOrder.rbegin(); it != kChineseOrder.rend(); ++it) {
    std::filesystem::copy_file(kData + "/kind1/balance.xlsx", mixed.path() / *it);
  }
  for (const char* locale : {"C", "C.UTF-8"}) {
    std::setlocale(LC_ALL, locale);
    CliResult r = RunArgs({"convert", "--kind", "1", "--source", mixed.path().string(), "--save",
                           save.path().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> ran;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
      if (line.find('\t') != std::string::npos) ran.push_back(line.substr(0, line.find('\t')));
    }
    EXPECT_EQ(ran, kChineseOrder) << "under " << locale;
  }
  std::setlocale(LC_ALL, "C");
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

// Workbooks LibreOffice saved with a password to open (tests/data/encrypted/make_fixtures.py):
// converted end to end with the password given, refused without it.
class CliEncrypted : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"balance_pw.xlsx", "balance_pw.xls"}) {
      std::filesystem::copy_file(kData + "/encrypted/" + name, source.path() / name);
    }
  }
  CliResult Convert(const std::string& type, std::vector<std::string> extra) {
    std::vector<std::string> args = {"convert",
                                     "--kind",
                                     "1",
                                     "--source",
                                     source.path().string(),
                                     "--save",
                                     save.path().string(),
                                     "--type",
                                     type};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunArgs(args);
  }
  TempFolder source, save;
  const std::string kPassword = "统计2024";
};

TEST_F(CliEncrypted, ThePasswordGivenConvertsBothFormatsToTheGoldenDocument) {
  for (const std::string type : {"xlsx", "xls"}) {
    std::filesystem::remove(save.path() / kGoldenName);
    CliResult r = Convert(type, {"--password", "不对", "--password", kPassword, "--sheets", "all"});
    ASSERT_EQ(r.status, 0) << type << ": " << r.err;
    EXPECT_EQ(ReadFileBytes(save.path() / kGoldenName),
              ReadFileBytes(kData + "/golden/kind1_zcfzb_system.xml"))
        << type;
  }
}

TEST_F(CliEncrypted, APasswordFileServesLikeTheOption) {
  WriteFileBytes(source.path() / "passwords.txt", "first guess\r\n\n" + kPassword + "\n");
  CliResult r = Convert("xls", {"--password-file", (source.path() / "passwords.txt").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(save.path() / kGoldenName),
            ReadFileBytes(kData + "/golden/kind1_zcfzb_system.xml"));
}

TEST_F(CliEncrypted, WithoutThePasswordTheBatchEndsNamingTheFile) {
  for (const std::string type : {"xlsx", "xls"}) {
    CliResult r = Convert(type, {"--password", "不对"});
    EXPECT_EQ(r.status, 1) << type;
    EXPECT_NE(r.err.find("工作簿“balance_pw." + type + "”已加密，密码不正确"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("任务完成"), std::string::npos);
  }
  EXPECT_EQ(save.FileCount(), 0u);
}

TEST_F(CliEncrypted, PrintTakesThePasswordOptionsToo) {
  std::filesystem::remove(source.path() / "balance_pw.xlsx");
  CliResult refused =
      RunArgs({"print", "--source", source.path().string(), "--pdf", save.path().string()});
  EXPECT_NE(refused.err.find("工作簿“balance_pw.xls”已加密，密码不正确"), std::string::npos)
      << refused.err;
  EXPECT_EQ(save.FileCount(), 0u);
  CliResult printed = RunArgs({"print", "--source", source.path().string(), "--pdf",
                               save.path().string(), "--password", kPassword});
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_EQ(ReadFileBytes(save.path() / "balance_pw.pdf").rfind("%PDF", 0), 0u);
}

TEST(CliPasswords, OptionsNeedTheirValuesAndAReadableFile) {
  EXPECT_EQ(RunArgs({"dump", kData + "/kind1/balance.xlsx", "--password"}).status, 2);
  CliResult missing = RunArgs({"convert", "--kind", "1", "--source", "/tmp", "--save", "/tmp",
                               "--password-file", "/nonexistent/passwords.txt"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("/nonexistent/passwords.txt"), std::string::npos) << missing.err;

  CliResult dump = RunArgs({"dump", "--password", "统计2024", kData + "/encrypted/balance_pw.xls"});
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_NE(dump.out.find("\"C6\": [\"n\", 1000.5]"), std::string::npos) << dump.out;
  CliResult refused = RunArgs({"dump", kData + "/encrypted/balance_pw.xls"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("已加密，密码不正确"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace ledgerix
