#include "app/trans_logic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "app/shell_logic.h"
#include "bridges/spreadsheet.h"
#include "bridges/workbook_passwords.h"
#include "engine/server.h"
#include "test_support.h"

namespace ledgerix {
namespace {

namespace fs = std::filesystem;
using testing::RecordingSink;
using testing::TempFolder;
using testing::Touch;

// Records every run; returns results[fileName] (1 when absent), throws for failing files.
struct RecordingRunner {
  std::vector<ConversionJob> jobs;
  std::map<std::string, int> results;
  std::map<std::string, std::string> failures;

  FileRunner runner() {
    return [this](const ConversionJob& job, MessageSink&) {
      jobs.push_back(job);
      if (auto f = failures.find(job.fileName); f != failures.end()) {
        throw AutomationError(f->second);
      }
      auto r = results.find(job.fileName);
      return r == results.end() ? 1 : r->second;
    };
  }
};

DialogBatch Batch(std::vector<std::string> items, FileChoice choice = FileChoice::All,
                  std::vector<std::size_t> selected = {}) {
  DialogBatch b;
  b.reportKind = 6;
  b.sourceFolder = "/src/";
  b.saveFolder = "/out/";
  b.sheetScope = SheetScope::All;
  b.choice = choice;
  b.items = std::move(items);
  b.selected = std::move(selected);
  return b;
}

struct Outcome {
  DialogBatchEnd end;
  std::vector<int> progress;
};

Outcome RunBatchOf(const DialogBatch& batch, RecordingRunner& runner, RecordingSink& sink) {
  Outcome o;
  o.end = RunDialogBatch(batch, runner.runner(), sink, [&](int v) { o.progress.push_back(v); });
  return o;
}

TEST(DialogBatch, AllFilesRunInListOrderWithProgressAroundEach) {
  RecordingRunner runner;
  RecordingSink sink;
  Outcome o = RunBatchOf(Batch({"a.xls", "b.xls", "c.xlsx", "d.txt"}), runner, sink);
  EXPECT_EQ(o.end, DialogBatchEnd::Completed);
  EXPECT_EQ(o.progress, (std::vector<int>{0, 25, 25, 50, 50, 75, 75, 100}));
  ASSERT_EQ(runner.jobs.size(), 4u);
  EXPECT_EQ(runner.jobs[2].fileName, "c.xlsx");
  EXPECT_EQ(runner.jobs[3].fileName, "d.txt");  // the filter never narrows the batch
  EXPECT_EQ(runner.jobs[0].reportKind, 6);
  EXPECT_EQ(runner.jobs[0].sourceFolder, "/src/");
  EXPECT_EQ(runner.jobs[0].saveFolder, "/out/");
  EXPECT_EQ(runner.jobs[0].sheetScope, SheetScope::All);
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].first, "任务完成！");
  EXPECT_EQ(sink.shown[0].second, MessageIcon::Information);
}

TEST(DialogBatch, SelectedFilesRunInListOrderAndTheBarCountsEveryItem) {
  RecordingRunner runner;
  RecordingSink sink;
  Outcome o = RunBatchOf(Batch({"a", "b", "c"}, FileChoice::Selected, {1}), runner, sink);
  EXPECT_EQ(o.progress, (std::vector<int>{0, 33, 33, 66, 66, 100}));
  ASSERT_EQ(runner.jobs.size(), 1u);
  EXPECT_EQ(runner.jobs[0].fileName, "b");

  RecordingRunner second;
  RunBatchOf(Batch({"a", "b", "c"}, FileChoice::Selected, {2, 0}), second, sink);
  ASSERT_EQ(second.jobs.size(), 2u);
  EXPECT_EQ(second.jobs[0].fileName, "a");
  EXPECT_EQ(second.jobs[1].fileName, "c");
}

TEST(DialogBatch, DoneMessageFollowsTheLastRunOnly) {
  RecordingRunner runner;
  runner.results["c"] = 0;
  RecordingSink sink;
  RunBatchOf(Batch({"a", "b", "c"}), runner, sink);
  EXPECT_TRUE(sink.shown.empty());

  RecordingRunner lastDone;
  lastDone.results["a"] = 0;
  RecordingSink sink2;
  RunBatchOf(Batch({"a", "b"}), lastDone, sink2);
  ASSERT_EQ(sink2.shown.size(), 1u);
  EXPECT_EQ(sink2.shown[0].first, "任务完成！");

  // Under "选中文件" the last run is the last selected file, not the last list item.
  RecordingRunner selected;
  selected.results["b"] = 0;
  RecordingSink sink3;
  RunBatchOf(Batch({"a", "b", "c"}, FileChoice::Selected, {1}), selected, sink3);
  EXPECT_TRUE(sink3.shown.empty());
}

TEST(DialogBatch, NothingSelectedAsksForASelectionAndRunsNothing) {
  RecordingRunner runner;
  RecordingSink sink;
  Outcome o = RunBatchOf(Batch({"a", "b"}, FileChoice::Selected), runner, sink);
  EXPECT_EQ(o.end, DialogBatchEnd::NothingSelected);
  EXPECT_TRUE(o.progress.empty());
  EXPECT_TRUE(runner.jobs.empty());
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].first, "请选中要处理的文件！");
  EXPECT_EQ(sink.shown[0].second, MessageIcon::Information);
}

TEST(DialogBatch, EmptyListRunsNothingSaysNothingAndCloses) {
  RecordingRunner runner;
  RecordingSink sink;
  Outcome o = RunBatchOf(Batch({}), runner, sink);
  EXPECT_EQ(o.end, DialogBatchEnd::Completed);
  EXPECT_TRUE(o.progress.empty());
  EXPECT_TRUE(sink.shown.empty());
}

TEST(DialogBatch, AnErrorEndsTheBatchWhereItStood) {
  RecordingRunner runner;
  runner.failures["b.xls"] = "文件不存在";
  RecordingSink sink;
  Outcome o = RunBatchOf(Batch({"a.xls", "b.xls", "c.xls"}), runner, sink);
  EXPECT_EQ(o.end, DialogBatchEnd::Failed);
  EXPECT_EQ(o.progress, (std::vector<int>{0, 33, 33}));
  EXPECT_EQ(runner.jobs.size(), 2u);
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].first, "转换文件 b.xls 时出错：文件不存在");
  EXPECT_EQ(sink.shown[0].second, MessageIcon::Stop);

  RecordingRunner silent;
  silent.failures["a"] = "";
  RecordingSink sink2;
  RunBatchOf(Batch({"a"}), silent, sink2);
  ASSERT_EQ(sink2.shown.size(), 1u);
  EXPECT_EQ(sink2.shown[0].first, "转换文件 a 时出错：出现内部应用程序错误。");
}

TEST(FileList, FilterDecidesWhatTheListShows) {
  TempFolder temp;
  for (const char* name : {"b.XLSX", "a.xls", "c.txt", "d.xlsx", "e.xls.bak"}) {
    Touch(temp.path() / name);
  }
  fs::create_directory(temp.path() / "f.xls");  // folders are never listed
  const std::string folder = temp.str() + "/";
  EXPECT_EQ(FileListFor(folder, kFilterXls), (std::vector<std::string>{"a.xls"}));
  EXPECT_EQ(FileListFor(folder, kFilterXlsx), (std::vector<std::string>{"b.XLSX", "d.xlsx"}));
  EXPECT_EQ(FileListFor(folder, kFilterAllFiles),
            (std::vector<std::string>{"a.xls", "b.XLSX", "c.txt", "d.xlsx", "e.xls.bak"}));
  EXPECT_TRUE(FileListFor(folder + "missing/", kFilterAllFiles).empty());
}

TEST(TransDialogPlan, FoldersFromSettingsAndKind) {
  TempFolder temp;
  const std::string source = temp.str() + "/源";
  const std::string save = temp.str() + "/存";
  fs::create_directories(source + "/企业所得税申报表（源");
  const DefaultFolders folders{source, save};

  TransDialogStart nine = PlanTransDialog(folders, 9, "/prog/");
  EXPECT_EQ(nine.sourceFolder, source + "/企业所得税申报表（源/");
  EXPECT_EQ(nine.sourceTreeFolder, nine.sourceFolder);
  // A missing save folder keeps its text; the tree falls back to the program folder.
  EXPECT_EQ(nine.saveFolder, save + "/企业所得税/");
  EXPECT_EQ(nine.saveTreeFolder, "/prog/");
  EXPECT_FALSE(nine.scopeEnabled);

  TransDialogStart one = PlanTransDialog(folders, 1, "/prog/");
  EXPECT_EQ(one.sourceTreeFolder, "/prog/");
  EXPECT_EQ(one.sourceFolder, source + "/国税资产负债表（制度版）（源/");
  EXPECT_TRUE(one.scopeEnabled);
}

TEST(CommandTable, ReportCommandsSelectTheirKinds) {
  const std::pair<int, int> table[] = {{32798, 1}, {32799, 2}, {32800, 3}, {32801, 4}, {32803, 5},
                                       {32805, 6}, {32807, 7}, {32809, 8}, {32811, 9}};
  for (auto [command, kind] : table) EXPECT_EQ(ReportKindForCommand(command), kind) << command;
  for (int other : {32802, 32804, 32780, 57607, 32790}) EXPECT_EQ(ReportKindForCommand(other), 0);
  EXPECT_EQ(HelpDocumentPath("/opt/ledgerix/"), "/opt/ledgerix/Ledgerix.html");
  EXPECT_EQ(LicenseDocumentPath("/"), "/license.html");
}

// The dialog's batch over real encrypted workbooks (tests/data/encrypted): the user is asked
// once per file the default password does not open, by the name the list shows; "跳过" ends
// the batch as an unreadable file does; nothing typed outlives the batch.
TEST(DialogBatchPasswords, OnePromptPerEncryptedFileAndSkippingEndsTheBatch) {
  engine::RegisterEmbeddedServer();
  const std::string data = LEDGERIX_TEST_DATA;
  TempFolder source, save;
  fs::copy_file(data + "/kind1/balance.xls", source.path() / "a-plain.xls");
  fs::copy_file(data + "/encrypted/balance_default.xls", source.path() / "b-default.xls");
  fs::copy_file(data + "/encrypted/balance_pw.xls", source.path() / "c-pw.xls");
  fs::copy_file(data + "/encrypted/balance_pw.xlsx", source.path() / "d-pw.xlsx");
  DialogBatch b = Batch({"a-plain.xls", "b-default.xls", "c-pw.xls", "d-pw.xlsx"});
  b.reportKind = 1;
  b.sourceFolder = source.str() + "/";
  b.saveFolder = save.str() + "/";
  std::vector<std::string> asked;
  std::optional<std::string> answer = "统计2024";
  b.askPassword = [&](const std::string& fileName) {
    asked.push_back(fileName);
    return answer;
  };
  RecordingSink sink;
  EXPECT_EQ(RunDialogBatch(b, RunConversion, sink, [](int) {}), DialogBatchEnd::Completed);
  EXPECT_EQ(asked, (std::vector<std::string>{"c-pw.xls", "d-pw.xlsx"}));
  ASSERT_FALSE(sink.shown.empty());
  EXPECT_EQ(sink.shown.back().first, "任务完成！");
  EXPECT_FALSE(CurrentWorkbookPasswords().ask);

  asked.clear();
  sink.shown.clear();
  answer.reset();  // 跳过
  EXPECT_EQ(RunDialogBatch(b, RunConversion, sink, [](int) {}), DialogBatchEnd::Failed);
  EXPECT_EQ(asked, std::vector<std::string>{"c-pw.xls"});
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].second, MessageIcon::Stop);
  EXPECT_NE(sink.shown[0].first.find("转换文件 c-pw.xls 时出错"), std::string::npos);
  EXPECT_NE(sink.shown[0].first.find("工作簿“c-pw.xls”已加密，密码不正确"), std::string::npos)
      << sink.shown[0].first;
}

TEST(DialogBatch, StopAskedDuringAFileEndsTheBatchAfterIt) {
  RecordingRunner runner;
  RecordingSink sink;
  bool stop = false;
  std::size_t converted = 99;
  std::vector<int> progress;
  // The user answers 是 while the second file runs.
  FileRunner run = [&](const ConversionJob& job, MessageSink& m) {
    const int r = runner.runner()(job, m);
    if (job.fileName == "b") stop = true;
    return r;
  };
  DialogBatchEnd end = RunDialogBatch(
      Batch({"a", "b", "c", "d"}), run, sink, [&](int v) { progress.push_back(v); },
      [&] { return stop; }, &converted);
  EXPECT_EQ(end, DialogBatchEnd::Stopped);
  ASSERT_EQ(runner.jobs.size(), 2u);
  EXPECT_EQ(runner.jobs[1].fileName, "b");
  EXPECT_EQ(converted, 2u);
  EXPECT_EQ(progress, (std::vector<int>{0, 25, 25, 50, 50}));
  ASSERT_EQ(sink.shown.size(), 1u);  // no "任务完成！": the batch did not finish
  EXPECT_EQ(sink.shown[0].first, StoppedMessage(2));
  EXPECT_NE(sink.shown[0].first.find("2 个文件"), std::string::npos);
  EXPECT_EQ(sink.shown[0].second, MessageIcon::Information);
}

TEST(DialogBatch, ConvertedCountsOnlyRunsThatWroteSomething) {
  RecordingRunner runner;
  runner.results["b"] = 0;
  RecordingSink sink;
  std::size_t converted = 0;
  EXPECT_EQ(RunDialogBatch(
                Batch({"a", "b", "c"}), runner.runner(), sink, [](int) {}, [] { return false; },
                &converted),
            DialogBatchEnd::Completed);
  EXPECT_EQ(converted, 2u);

  // A stop asked after the last file changes nothing: the batch is complete.
  RecordingRunner late;
  bool stop = false;
  FileRunner run = [&](const ConversionJob& job, MessageSink& m) {
    stop = job.fileName == "c";
    return late.runner()(job, m);
  };
  RecordingSink sink2;
  EXPECT_EQ(RunDialogBatch(
                Batch({"a", "b", "c"}), run, sink2, [](int) {}, [&] { return stop; }, &converted),
            DialogBatchEnd::Completed);
  EXPECT_EQ(converted, 3u);
  ASSERT_EQ(sink2.shown.size(), 1u);
  EXPECT_EQ(sink2.shown[0].first, "任务完成！");
  EXPECT_EQ(BatchStatusText(3, "/out/"), "已转换 3 个文件，保存在 /out/");
}

TEST(DialogList, ChineseAndLatinNamesInTheOrderTheCommandLineRuns) {
  TempFolder folder;
  // The same names and order as the command line's test.
  const std::vector<std::string> order = {"阿里.xlsx",       "北京分公司.xlsx", "重庆.xlsx",
                                          "资产负债表.xlsx", "abc.xlsx",        "B.xlsx",
                                          "Zeta.xlsx"};
  for (const std::string& name : order) Touch(folder.path() / fs::u8path(name));
  EXPECT_EQ(FileListFor(folder.str() + "/", kFilterAllFiles), order);
  EXPECT_EQ(FileListFor(folder.str() + "/", kFilterXlsx), order);
}

}  // namespace
}  // namespace ledgerix
