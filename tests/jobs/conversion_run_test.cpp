#include "jobs/conversion_run.h"

#include <gtest/gtest.h>

#include <map>

#include "bridges/workbook_passwords.h"
#include "jobs/batch.h"
#include "tests/convert/fake_sheet.h"
#include "tests/convert/test_files.h"

namespace ledgerix {
namespace {

using testing::FakeSheet;
using testing::FakeWorkbook;
using testing::TempFolder;

// What the fake server saw, across all the instances a test creates.
struct ServerLog {
  std::vector<std::string> opened;
  std::vector<std::string> calls;
  int instances = 0;
};

class RecordingWorkbook : public FakeWorkbook {
 public:
  explicit RecordingWorkbook(ServerLog* log) : log_(log) {}
  void Close(bool saveChanges, std::string_view fileName) override {
    log_->calls.push_back("Workbook.Close(" + std::to_string(saveChanges) + "," +
                          std::string(fileName) + ")");
  }

 private:
  ServerLog* log_;
};

// Serves workbooks registered by path; an unknown path is an automation error.
class FakeApplication : public Application,
                        public Workbooks,
                        public std::enable_shared_from_this<FakeApplication> {
 public:
  FakeApplication(ServerLog* log, std::map<std::string, std::shared_ptr<FakeWorkbook>>* books)
      : log_(log), books_(books) {}
  void PutDisplayAlerts(bool value) override {
    log_->calls.push_back(std::string("DisplayAlerts=") + (value ? "true" : "false"));
  }
  std::shared_ptr<Workbooks> GetWorkbooks() override { return shared_from_this(); }
  void Quit() override { log_->calls.push_back("Quit"); }
  std::shared_ptr<Workbook> Open(std::string_view path) override {
    log_->opened.emplace_back(path);
    auto it = books_->find(std::string(path));
    if (it == books_->end()) throw AutomationError("无法打开工作簿 " + std::string(path));
    return it->second;
  }
  void Close() override { log_->calls.push_back("Workbooks.Close"); }

 private:
  ServerLog* log_;
  std::map<std::string, std::shared_ptr<FakeWorkbook>>* books_;
};

class RecordingMessages : public MessageSink {
 public:
  void ShowMessage(std::string_view text, MessageIcon icon) override {
    shown.emplace_back(std::string(text), icon);
  }
  std::vector<std::pair<std::string, MessageIcon>> shown;
};

std::shared_ptr<FakeSheet> BalanceSheet(const std::string& name, const std::string& taxpayer,
                                        std::int32_t visible = xlSheetVisible) {
  auto sheet = std::make_shared<FakeSheet>(name, visible);
  sheet->SetText("A1", "纳税人识别号：" + taxpayer);
  sheet->SetText("B2", "2008-01-01");
  sheet->SetText("E2", "2008-03-31");
  return sheet;
}

class ConversionRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterServer(kSpreadsheetProgId, [this] {
      ++log.instances;
      return std::make_shared<FakeApplication>(&log, &books);
    });
  }
  void TearDown() override { RegisterServer(kSpreadsheetProgId, nullptr); }

  std::shared_ptr<RecordingWorkbook> AddBook(const std::string& path) {
    auto book = std::make_shared<RecordingWorkbook>(&log);
    books[path] = book;
    return book;
  }
  ConversionJob Job(int kind, const std::string& file, SheetScope scope = SheetScope::Active) {
    return ConversionJob{kind, "/src/", file, save.folder(), scope};
  }

  ServerLog log;
  std::map<std::string, std::shared_ptr<FakeWorkbook>> books;
  TempFolder save;
  RecordingMessages messages;
};

TEST_F(ConversionRunTest, ActiveScopeConvertsOneSheetAndClosesWithoutSaving) {
  auto book = AddBook("/src/a.xlsx");
  book->Add(BalanceSheet("一", "111"));
  book->Add(BalanceSheet("二", "222"));
  book->SetActive(1);
  EXPECT_EQ(RunConversion(Job(1, "a.xlsx"), messages), 1);
  EXPECT_EQ(save.FileCount(), 1u);
  EXPECT_TRUE(std::filesystem::exists(save.folder() + "ZCFZB_2008-01-01_2008-03-31_222_CRC.xml"));
  EXPECT_EQ(log.calls, (std::vector<std::string>{"DisplayAlerts=false", "Workbook.Close(0,a.xlsx)",
                                                 "Workbooks.Close", "Quit"}));
}

TEST_F(ConversionRunTest, AllScopeSkipsHiddenSheetsInWorkbookOrder) {
  auto book = AddBook("/src/a.xlsx");
  book->Add(BalanceSheet("一", "111"));
  book->Add(BalanceSheet("隐藏", "999", xlSheetHidden));
  book->Add(BalanceSheet("二", "222"));
  book->Add(BalanceSheet("深藏", "888", xlSheetVeryHidden));
  book->Add(BalanceSheet("三", "333"));
  EXPECT_EQ(RunConversion(Job(1, "a.xlsx", SheetScope::All), messages), 1);
  EXPECT_EQ(save.FileCount(), 3u);
  EXPECT_FALSE(std::filesystem::exists(save.folder() + "ZCFZB_2008-01-01_2008-03-31_999_CRC.xml"));
}

TEST_F(ConversionRunTest, AllScopeWithEveryWorksheetHiddenConvertsNothing) {
  auto book = AddBook("/src/a.xlsx");
  book->Add(BalanceSheet("隐藏", "999", xlSheetHidden));
  EXPECT_EQ(RunConversion(Job(1, "a.xlsx", SheetScope::All), messages), 0);
  EXPECT_EQ(save.FileCount(), 0u);
}

TEST_F(ConversionRunTest, UnknownKindOpensAndClosesOnly) {
  AddBook("/src/a.xlsx")->Add(BalanceSheet("一", "111"));
  EXPECT_EQ(RunConversion(Job(10, "a.xlsx"), messages), 0);
  EXPECT_EQ(RunConversion(Job(0, "a.xlsx"), messages), 0);
  EXPECT_EQ(log.opened.size(), 2u);
  EXPECT_EQ(save.FileCount(), 0u);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConversionRunTest, PathIsFolderTextFollowedByName) {
  AddBook("/src/a.xlsx")->Add(BalanceSheet("一", "111"));
  ConversionJob job = Job(1, "a.xlsx");
  job.sourceFolder = "/src";  // no separator: names another file
  EXPECT_THROW(RunConversion(job, messages), AutomationError);
  EXPECT_EQ(log.opened.back(), "/srca.xlsx");
}

TEST_F(ConversionRunTest, MissingServerIsReportedForEveryFileAndTheBatchGoesOn) {
  RegisterServer(kSpreadsheetProgId, nullptr);
  RecordingMessages shown;
  BatchObserver observer;
  BatchRequest request{1, "/src", save.folder(), SheetScope::Active, {"a.xlsx", "b.xlsx"}};
  BatchOutcome outcome = RunBatch(request, shown, observer);
  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(outcome.filesRun, 2u);
  ASSERT_EQ(shown.shown.size(), 2u);
  for (const auto& [text, icon] : shown.shown) {
    EXPECT_EQ(text, "无法创建Excel应用程序！");
    EXPECT_EQ(icon, MessageIcon::Stop);
  }
}

class CountingObserver : public BatchObserver {
 public:
  void FileDone(std::size_t, std::size_t, const std::string& name, int result,
                const std::vector<std::string>& outputs) override {
    done.push_back(name + ":" + std::to_string(result) + ":" + std::to_string(outputs.size()));
  }
  std::vector<std::string> done;
};

TEST_F(ConversionRunTest, BatchReportsDoneAfterTheLastFile) {
  AddBook("/src/a.xlsx")->Add(BalanceSheet("一", "111"));
  AddBook("/src/b.xlsx")->Add(BalanceSheet("一", "222"));
  CountingObserver observer;
  BatchRequest request{1, "/src", save.folder(), SheetScope::Active, {"a.xlsx", "b.xlsx"}};
  BatchOutcome outcome = RunBatch(request, messages, observer);
  EXPECT_EQ(outcome.lastResult, 1);
  EXPECT_EQ(observer.done, (std::vector<std::string>{"a.xlsx:1:1", "b.xlsx:1:1"}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, "任务完成！");
  EXPECT_EQ(messages.shown[0].second, MessageIcon::Information);
}

TEST_F(ConversionRunTest, ErrorEndsTheBatchNamingTheFile) {
  AddBook("/src/a.xlsx")->Add(BalanceSheet("一", "111"));
  auto bad = BalanceSheet("坏表", "222");
  bad->Set("B2", Variant::Error(CellError::Ref));
  AddBook("/src/b.xlsx")->Add(bad);
  AddBook("/src/c.xlsx")->Add(BalanceSheet("一", "333"));
  CountingObserver observer;
  BatchRequest request{
      1, "/src/", save.folder(), SheetScope::Active, {"a.xlsx", "b.xlsx", "c.xlsx"}};
  BatchOutcome outcome = RunBatch(request, messages, observer);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.filesRun, 1u);
  EXPECT_EQ(log.opened.size(), 2u);  // c.xlsx never opened
  ASSERT_EQ(messages.shown.size(), 1u);
  const std::string& text = messages.shown[0].first;
  EXPECT_EQ(messages.shown[0].second, MessageIcon::Stop);
  for (const char* part : {"b.xlsx", "坏表", "B2", "#REF!"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << " missing in " << text;
  }
  EXPECT_EQ(save.FileCount(), 1u);
}

// Opens as the embedded server does for an encrypted workbook: with the passwords in force,
// asking the user once.
class PasswordAskingApplication : public FakeApplication {
 public:
  PasswordAskingApplication(ServerLog* log,
                            std::map<std::string, std::shared_ptr<FakeWorkbook>>* books,
                            std::vector<std::string>* seen)
      : FakeApplication(log, books), seen_(seen) {}
  std::shared_ptr<Workbook> Open(std::string_view path) override {
    WorkbookPasswords passwords = CurrentWorkbookPasswords();
    std::string known;
    for (const std::string& p : passwords.known) known += p + ",";
    std::optional<std::string> answer =
        passwords.ask ? passwords.ask(std::string(path)) : std::nullopt;
    seen_->push_back(known + "|" + answer.value_or("(none)"));
    return FakeApplication::Open(path);
  }

 private:
  std::vector<std::string>* seen_;
};

TEST_F(ConversionRunTest, BatchPasswordsServeItsOpeningsOnly) {
  AddBook("/src/a.xlsx")->Add(BalanceSheet("一", "111"));
  AddBook("/src/b.xlsx")->Add(BalanceSheet("一", "222"));
  std::vector<std::string> seen;
  RegisterServer(kSpreadsheetProgId, [this, &seen] {
    return std::make_shared<PasswordAskingApplication>(&log, &books, &seen);
  });
  BatchRequest request{1, "/src/", save.folder(), SheetScope::Active, {"a.xlsx", "b.xlsx"}};
  request.passwords = {"一", "二"};
  std::vector<std::string> asked;
  request.askPassword = [&asked](const std::string& fileName) {
    asked.push_back(fileName);
    return std::optional<std::string>("答" + fileName);
  };
  CountingObserver observer;
  BatchOutcome outcome = RunBatch(request, messages, observer);
  EXPECT_FALSE(outcome.failed);
  // The user is asked by the name the list shows, not the server's full path.
  EXPECT_EQ(asked, (std::vector<std::string>{"a.xlsx", "b.xlsx"}));
  EXPECT_EQ(seen, (std::vector<std::string>{"一,二,|答a.xlsx", "一,二,|答b.xlsx"}));
  WorkbookPasswords after = CurrentWorkbookPasswords();
  EXPECT_TRUE(after.known.empty());
  EXPECT_FALSE(after.ask);
}

TEST(ReportKinds, CaptionsAndTable) {
  EXPECT_EQ(ReportKindCaption(1), "国税资产负债表（制度版）");
  EXPECT_EQ(ReportKindCaption(9), "企业所得税申报表");
  EXPECT_TRUE(ReportKindCaption(0).empty());
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ConverterFor(0)));
  EXPECT_TRUE(std::holds_alternative<WorksheetConverter>(ConverterFor(1)));
}

}  // namespace
}  // namespace ledgerix
