// Peak memory of `ledgerix-cli convert` over large workbooks, measured as the resident size of
// the child process: a sheet's cells cost what the budget says (kCellBudgetBytes a cell), not
// what their markup or a repeated text would, one sheet's cells at a time under --sheets all,
// and workbooks as large as the format allows open. The workbooks are generated here.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/book.h"
#include "tests/convert/test_files.h"
#include "tests/outside_tools.h"

namespace ledgerix {
namespace {

using engine::kCellBudgetBytes;
using testing::ReadFileBytes;
using testing::RunTool;
using testing::TempFolder;

constexpr std::uint64_t kMiB = 1u << 20;

struct ChildRun {
  int status = -1;
  std::uint64_t peak_bytes = 0;
  std::string out, err;
};

// Runs ledgerix-cli with args; its output goes to files in folder.
ChildRun RunChild(const std::vector<std::string>& args, const std::filesystem::path& folder) {
  const std::string out = (folder / "stdout").string(), err = (folder / "stderr").string();
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    std::string program = LEDGERIX_CLI;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  ChildRun run;
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return run;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peak_bytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // ru_maxrss is in KiB
  run.out = ReadFileBytes(out);
  run.err = ReadFileBytes(err);
  return run;
}

class CliMemory : public ::testing::Test {
 protected:
  // One workbook made by the generator into source/, converted as kind 1 with every sheet.
  ChildRun Convert(const std::string& generator_args, const std::string& name) {
    const std::string script =
        std::string(LEDGERIX_SOURCE_DIR) + "/tests/tools/make_large_workbook.py";
    const std::filesystem::path file = source.path() / name;
    const std::string kind = generator_args.substr(0, generator_args.find(' '));
    const std::string rest = generator_args.substr(kind.size());
    EXPECT_EQ(
        RunTool("/usr/bin/python3 " + script + " " + kind + " '" + file.string() + "'" + rest), 0);
    package_bytes = std::filesystem::file_size(file);
    return RunChild({"convert", "--kind", "1", "--source", source.path().string(), "--save",
                     save.path().string(), "--sheets", "all"},
                    logs.path());
  }
  // What the program takes converting a small statement: its code, libraries and one workbook.
  static std::uint64_t Baseline() {
    TempFolder source, save, logs;
    std::filesystem::copy_file(std::string(LEDGERIX_TEST_DATA) + "/kind1/balance.xlsx",
                               source.path() / "balance.xlsx");
    ChildRun run = RunChild({"convert", "--kind", "1", "--source", source.path().string(), "--save",
                             save.path().string()},
                            logs.path());
    EXPECT_EQ(run.status, 0) << run.err;
    return run.peak_bytes;
  }
  void ExpectOpened(const ChildRun& run, const std::string& name) {
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("文件内容过大"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.rfind(name + "\t1\t", 0), 0u) << run.out;
  }

  TempFolder source, save, logs;
  std::uint64_t package_bytes = 0;
};

// Eight sheets of 4,000 cells, every one showing the same 16 KB shared string: the text is held
// once, not once per cell (a copy per cell took 500 MB).
TEST_F(CliMemory, CellsShowingOneLongSharedStringCostTheirPlacesOnly) {
  const std::uint64_t base = Baseline();
  ChildRun run = Convert("shared 8 4000 16", "crafted.xlsx");
  ExpectOpened(run, "crafted.xlsx");
  const std::uint64_t budget = 2 * package_bytes + 8 * 4000 * kCellBudgetBytes + 32 * kMiB;
  EXPECT_LE(run.peak_bytes, base + budget)
      << "peak " << run.peak_bytes / kMiB << " MiB, baseline " << base / kMiB << " MiB";
}

// Four sheets of 300,000 rows: a sheet's cells go once it is converted, so the peak holds one
// sheet's cells and the package, not four sheets'.
TEST_F(CliMemory, EverySheetConvertsWithOneSheetsCellsInMemory) {
  const std::uint64_t base = Baseline();
  ChildRun run = Convert("sheets 4 300000", "four.xlsx");
  ExpectOpened(run, "four.xlsx");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\t'), 2 + 4 - 1) << run.out;
  const std::uint64_t one_sheet = 300000 * kCellBudgetBytes;
  EXPECT_LE(run.peak_bytes, base + package_bytes + one_sheet + 8 * kMiB)
      << "peak " << run.peak_bytes / kMiB << " MiB, baseline " << base / kMiB << " MiB";
}

// 1,048,576 rows of a number, a text and a date (155 MB of sheet XML): opens, within budget.
TEST_F(CliMemory, ASheetOfEveryRowTheFormatHasOpensWithinTheBudget) {
  const std::uint64_t base = Baseline();
  ChildRun run = Convert("rows 1048576", "tall.xlsx");
  ExpectOpened(run, "tall.xlsx");
  // Three cells a row, and the row texts ("行1048576", at most 10 bytes) each its own.
  const std::uint64_t cells = std::uint64_t{3} * 1048576 * kCellBudgetBytes + 1048576 * 10;
  EXPECT_LE(run.peak_bytes, base + package_bytes + cells + 32 * kMiB)
      << "peak " << run.peak_bytes / kMiB << " MiB, baseline " << base / kMiB << " MiB";
}

// A shared-string part of 35 MB (above the size once refused) opens; its first string names
// the output, so the table was read.
TEST_F(CliMemory, ALargeSharedStringTableOpens) {
  const std::uint64_t base = Baseline();
  ChildRun run = Convert("strings 35", "strings.xlsx");
  ExpectOpened(run, "strings.xlsx");
  EXPECT_NE(run.out.find("0000000000-条目00000000-00000"), std::string::npos) << run.out;
  // Each item a place (kCellBudgetBytes) and its text: 35 MB of markup hold fewer.
  EXPECT_LE(run.peak_bytes,
            base + package_bytes + 35 * kMiB / 46 * kCellBudgetBytes + 35 * kMiB + 32 * kMiB)
      << "peak " << run.peak_bytes / kMiB << " MiB, baseline " << base / kMiB << " MiB";
}

}  // namespace
}  // namespace ledgerix
