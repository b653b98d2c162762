// `ledgerix-cli print --pdf`: listing and order as convert, one PDF per workbook named after it,
// unique names within a batch, atomic writes, errors that end the batch.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/print_command.h"
#include "tests/convert/test_files.h"
#include "tests/print/pdf_tools.h"

namespace ledgerix {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

const std::string kExamples = std::string(LEDGERIX_SOURCE_DIR) + "/examples";
const std::string kKind5 = kExamples + "/kind5/恒信商贸_2008年资产负债表.xls";
const std::string kKind9 = kExamples + "/kind9/粤丰五金_2008年度企业所得税申报表.xlsx";

struct Result {
  int status;
  std::string out, err;
};

Result RunPrintCli(std::vector<std::string> args) {
  std::ostringstream out, err;
  int status = RunCli(args, out, err, false);
  return {status, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class PrintCli : public ::testing::Test {
 protected:
  std::vector<std::string> Args(std::vector<std::string> extra) {
    std::vector<std::string> args = {"print", "--source", source.path().string(), "--pdf",
                                     pdf.path().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  TempFolder source, pdf;
};

TEST_F(PrintCli, OnePdfPerWorkbookInListOrderWithTheDoneMessage) {
  fs::copy_file(kKind9, source.path() / "b所得税.xlsx");
  fs::copy_file(kKind5, source.path() / "A资产.xls");
  Result r = RunPrintCli(Args({"--sheets", "all"}));
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  EXPECT_EQ(lines[0], "A资产.xls\t1\t" + pdf.folder() + "A资产.pdf");
  EXPECT_EQ(lines[1], "b所得税.xlsx\t1\t" + pdf.folder() + "b所得税.pdf");
  EXPECT_EQ(lines[2], "打印完成！");
  EXPECT_EQ(Listing(pdf.path()), (std::vector<std::string>{"A资产.pdf", "b所得税.pdf"}));
  // Every visible sheet of the return is in its PDF: more pages than its active sheet alone.
  auto all_sheets = print::testing::PageSizes(pdf.folder() + "b所得税.pdf").size();
  ASSERT_EQ(RunPrintCli(Args({"b所得税.xlsx"})).status, 0);
  auto active = print::testing::PageSizes(pdf.folder() + "b所得税.pdf").size();
  EXPECT_GT(active, 0u);
  EXPECT_GT(all_sheets, active);
  // The source workbooks are read only.
  EXPECT_EQ(testing::ReadFileBytes((source.path() / "A资产.xls").string()),
            testing::ReadFileBytes(kKind5));
}

TEST_F(PrintCli, TypeFilterPickedFilesAndFitWidth) {
  fs::copy_file(kKind9, source.path() / "x.xlsx");
  fs::copy_file(kKind5, source.path() / "y.xls");
  Result r = RunPrintCli(Args({"--type", "xls"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Listing(pdf.path()), (std::vector<std::string>{"y.pdf"}));
  Result fit = RunPrintCli(Args({"--fit-width", "x.xlsx"}));
  ASSERT_EQ(fit.status, 0) << fit.err;
  auto fitted = print::testing::PageSizes(pdf.folder() + "x.pdf").size();
  ASSERT_EQ(RunPrintCli(Args({"x.xlsx"})).status, 0);
  EXPECT_LE(fitted, print::testing::PageSizes(pdf.folder() + "x.pdf").size());
  EXPECT_GT(fitted, 0u);
}

TEST_F(PrintCli, WorkbooksThatWouldShareAPdfGetTheirOwn) {
  EXPECT_EQ(PdfNamesFor({"a.xls", "a.xlsx", "b.xls", "a.xls.xlsx"}),
            (std::vector<std::string>{"a.pdf", "a.xlsx.pdf", "b.pdf", "a.xls.pdf"}));
  EXPECT_EQ(PdfNamesFor({"a.xlsx.xls", "a.xls", "a.xlsx"}),
            (std::vector<std::string>{"a.xlsx.pdf", "a.pdf", "a (2).pdf"}));
  fs::copy_file(kKind5, source.path() / "同名.xls");
  fs::copy_file(kKind9, source.path() / "同名.xlsx");
  Result r = RunPrintCli(Args({}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Listing(pdf.path()), (std::vector<std::string>{"同名.pdf", "同名.xlsx.pdf"}));
}

TEST_F(PrintCli, AnUnreadableWorkbookEndsTheBatchAndLeavesNoPartialFile) {
  fs::copy_file(kKind5, source.path() / "1好.xls");
  { std::ofstream(source.path() / "2坏.xls") << "not a workbook at all"; }
  fs::copy_file(kKind5, source.path() / "3后.xls");
  { std::ofstream(pdf.path() / "2坏.pdf") << "earlier print"; }
  Result r = RunPrintCli(Args({}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("打印文件 2坏.xls 时出错："), std::string::npos) << r.err;
  EXPECT_EQ(Lines(r.out).size(), 1u) << r.out;
  EXPECT_EQ(r.out.find("打印完成！"), std::string::npos);
  // The earlier PDF of the bad workbook is untouched, the later workbook was not printed and no
  // temporary file is left behind.
  EXPECT_EQ(Listing(pdf.path()), (std::vector<std::string>{"1好.pdf", "2坏.pdf"}));
  EXPECT_EQ(testing::ReadFileBytes((pdf.path() / "2坏.pdf").string()), "earlier print");
}

TEST_F(PrintCli, WorkbooksRenderedAtOnceAreWrittenAndListedInOrder) {
  // More workbooks than workers, of different sizes, so that later ones finish first.
  const std::vector<std::string> names = {"1.xlsx", "2.xls", "3.xlsx", "4.xls",
                                          "5.xlsx", "6.xls", "7.xls",  "8.xlsx"};
  for (const std::string& n : names) {
    fs::copy_file(n.ends_with(".xlsx") ? kKind9 : kKind5, source.path() / n);
  }
  Result one = RunPrintCli(Args({"--sheets", "all", "--jobs", "1"}));
  ASSERT_EQ(one.status, 0) << one.err;
  std::vector<std::string> expected;
  for (const std::string& n : names) {
    expected.push_back(n + "\t1\t" + pdf.folder() + n.substr(0, n.find('.')) + ".pdf");
  }
  expected.push_back("打印完成！");
  EXPECT_EQ(Lines(one.out), expected);
  // What each document shows: its pages' sizes and text.
  auto shown = [&](const std::string& n) {
    const std::string file = pdf.folder() + n.substr(0, n.find('.')) + ".pdf";
    return std::make_pair(print::testing::PageSizes(file), print::testing::PageTexts(file));
  };
  std::vector<decltype(shown(""))> by_one;
  for (const std::string& n : names) {
    by_one.push_back(shown(n));
    ASSERT_FALSE(by_one.back().first.empty()) << n;
  }
  for (const char* jobs : {"3", "16"}) {
    SCOPED_TRACE(jobs);
    Result many = RunPrintCli(Args({"--sheets", "all", "--jobs", jobs}));
    ASSERT_EQ(many.status, 0) << many.err;
    EXPECT_EQ(Lines(many.out), expected);
    for (std::size_t i = 0; i < names.size(); ++i)
      EXPECT_EQ(shown(names[i]), by_one[i]) << names[i];
  }
  for (const char* bad : {"0", "17", "two", ""}) {
    Result r = RunPrintCli(Args({"--jobs", bad}));
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("--jobs must be a number from 1 to 16"), std::string::npos) << r.err;
  }
}

TEST_F(PrintCli, AnErrorWhileOthersRenderStillEndsTheBatchThere) {
  // The workers may have rendered the workbooks after the bad one already: none of them is
  // written, and nothing is listed after it.
  fs::copy_file(kKind5, source.path() / "1好.xls");
  { std::ofstream(source.path() / "2坏.xls") << "not a workbook at all"; }
  for (const char* n : {"3后.xls", "4后.xls", "5后.xls"}) fs::copy_file(kKind5, source.path() / n);
  Result r = RunPrintCli(Args({"--jobs", "4"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("打印文件 2坏.xls 时出错："), std::string::npos) << r.err;
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"1好.xls\t1\t" + pdf.folder() + "1好.pdf"}));
  EXPECT_EQ(Listing(pdf.path()), (std::vector<std::string>{"1好.pdf"}));
}

TEST_F(PrintCli, UsageAndFolderErrors) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"print", "--source", source.path().string()},
           {"print", "--pdf", pdf.path().string()},
           Args({"--sheets", "some"}),
           Args({"--type", "ods"}),
           Args({"--copies", "2"}),
           Args({"missing.xls"}),
       }) {
    Result r = RunPrintCli(args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("ledgerix-cli print --source DIR --pdf DIR"), std::string::npos);
  }
  fs::copy_file(kKind5, source.path() / "a.xls");
  Result no_folder = RunPrintCli(
      {"print", "--source", source.path().string(), "--pdf", (pdf.path() / "absent").string()});
  EXPECT_EQ(no_folder.status, 1);
  EXPECT_NE(no_folder.err.find("absent"), std::string::npos);
  TempFolder empty;
  Result nothing =
      RunPrintCli({"print", "--source", empty.path().string(), "--pdf", pdf.path().string()});
  EXPECT_EQ(nothing.status, 0);
  EXPECT_NE(nothing.err.find("请选中要打印的文件！"), std::string::npos);
}

}  // namespace
}  // namespace ledgerix
