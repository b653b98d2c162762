// Runs started at the same time into one save folder, as separate processes: two accountants
// sharing a folder, or the program and a script.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_app.h"
#include "engine/book.h"
#include "tests/convert/test_files.h"
#include "tests/engine/xls_writer_support.h"

namespace ledgerix {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

const std::string kExamples = std::string(LEDGERIX_SOURCE_DIR) + "/examples/";
const char* const kFiling = "440106190012345_广州市天河区恒信商贸有限公司_2008年03月.xls";

std::vector<std::string> Args(int kind, const std::string& save) {
  const char* file = kind == 5 ? "恒信商贸_2008年资产负债表.xls" : "恒信商贸_2008年利润表.xls";
  return {"convert",
          "--kind",
          std::to_string(kind),
          "--source",
          kExamples + "kind" + std::to_string(kind),
          "--save",
          save,
          file};
}

pid_t Start(int kind, const std::string& save, int start_pipe) {
  pid_t child = ::fork();
  if (child == 0) {
    char go;
    if (::read(start_pipe, &go, 1) != 1) ::_exit(3);  // both start together
    std::ostringstream out, err;
    ::_exit(RunCli(Args(kind, save), out, err, false));
  }
  return child;
}

TEST(CliConcurrency, KindsFiveAndSixTogetherGiveTheWorkbookOfOneAfterTheOther) {
  TempFolder sequential;
  for (int kind : {5, 6}) {
    std::ostringstream out, err;
    ASSERT_EQ(RunCli(Args(kind, sequential.path().string()), out, err, false), 0) << err.str();
  }
  const auto expected =
      engine::testing::AllCells(*engine::OpenBook((sequential.path() / kFiling).string()));

  for (int attempt = 0; attempt < 20; ++attempt) {
    TempFolder save;
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t a = Start(attempt % 2 ? 5 : 6, save.path().string(), go[0]);
    pid_t b = Start(attempt % 2 ? 6 : 5, save.path().string(), go[0]);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    ASSERT_EQ(::write(go[1], "gg", 2), 2);
    ::close(go[0]);
    ::close(go[1]);
    for (pid_t child : {a, b}) {
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "attempt " << attempt;
    }
    const std::string path = (save.path() / kFiling).string();
    ASSERT_TRUE(fs::exists(path)) << "attempt " << attempt;
    EXPECT_EQ(engine::testing::AllCells(*engine::OpenBook(path)), expected)
        << "attempt " << attempt << ": a statement was lost";
    // The workbook, nothing else.
    EXPECT_EQ(save.FileCount(), 1u) << "attempt " << attempt;
  }
}

}  // namespace
}  // namespace ledgerix
