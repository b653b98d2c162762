#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ledgerix
