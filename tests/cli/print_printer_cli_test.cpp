#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_app.h"
#include "tests/support/private_cupsd.h"

namespace ledgerix {
namespace {

using testing::PrivateCupsd;

struct Result {
  int status;
  std::string out, err;
};
Result Cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  int status = RunCli(args, out, err, false);
  return {status, out.str(), err.str()};
}

const std::string kFixtures = std::string(LEDGERIX_TEST_DATA) + "/print";

class PrintCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PrivateCupsd::Available()) GTEST_SKIP() << "cupsd or the Generic-PDF driver is missing";
    server_ = &PrivateCupsd::Shared();
    server_->PointClientsHere();
    server_->UseQueues({"Office_HP", "FilePDF"}, "FilePDF");
  }
  void TearDown() override {
    if (server_) server_->PointClientsHere();
  }
  PrivateCupsd* server_ = nullptr;
};

TEST_F(PrintCliTest, PrintersListsTheQueuesWithTheDefaultMarked) {
  Result r = Cli({"printers"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "* FilePDF\n  Office_HP\n");
  server_->PointClientsNowhere();
  r = Cli({"printers"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("无法连接打印服务器"), std::string::npos) << r.err;
}

TEST_F(PrintCliTest, UsageErrorsAndAnUnknownPrinterEndingTheBatch) {
  EXPECT_EQ(Cli({"print", "--source", kFixtures}).status, 2) << "a printer is required";
  EXPECT_EQ(Cli({"print", "--source", kFixtures, "--printer", "FilePDF", "--copies", "0"}).status,
            2);
  EXPECT_EQ(Cli({"print", "--source", kFixtures, "--printer", "FilePDF", "nosuch.xls"}).status, 2);
  Result r = Cli({"print", "--source", kFixtures, "--type", "xlsx", "--printer", "NoSuchPrinter",
                  "--sheets", "all"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("打印文件 three_sheets.xlsx 时出错"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("NoSuchPrinter"), std::string::npos) << r.err;
  EXPECT_TRUE(print::ListJobs("FilePDF", true).empty());
  EXPECT_TRUE(print::ListJobs("FilePDF", false).empty());
}

// The password options reach a printer batch as they reach convert and print --pdf.
TEST_F(PrintCliTest, PrinterBatchesTakeThePasswordOptions) {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "ledgerix-pw-XXXXXX").string();
  const fs::path folder = ::mkdtemp(pattern.data());
  const std::string data = LEDGERIX_TEST_DATA;
  fs::copy_file(data + "/encrypted/balance_pw.xls", folder / "密.xls");
  { std::ofstream(folder / "passwords.txt") << "不对\n统计2024\n"; }
  const std::vector<std::string> base = {"print", "--source",  folder.string(), "--type",
                                         "xls",   "--printer", "FilePDF"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = base;
    args.insert(args.end(), more.begin(), more.end());
    return Cli(args);
  };
  Result refused = with({});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("已加密，密码不正确"), std::string::npos) << refused.err;
  Result opened = with({"--password", "不对", "--password", "统计2024"});
  EXPECT_EQ(opened.status, 0) << opened.err;
  EXPECT_EQ(opened.out, "密.xls\t1\n打印完成！\n");
  Result fromFile = with({"--password-file", (folder / "passwords.txt").string()});
  EXPECT_EQ(fromFile.status, 0) << fromFile.err;
  EXPECT_EQ(server_->WaitForCompleted("FilePDF", 2).size(), 2u);
  Result missing = with({"--password-file", (folder / "absent.txt").string()});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("absent.txt"), std::string::npos) << missing.err;
  fs::remove_all(folder);
}

}  // namespace
}  // namespace ledgerix
