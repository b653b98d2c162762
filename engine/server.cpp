#include "engine/server.h"

#include <algorithm>
#include <vector>

#include "engine/book.h"

namespace ledgerix::engine {
namespace {

PrintHandler& InstalledPrintHandler() {
  static PrintHandler handler;
  return handler;
}

std::string BaseName(std::string_view path) {
  auto slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// One opened workbook, shared by the objects that point into it. Closed workbooks refuse
// every further call, as a released server object would.
struct OpenedBook {
  std::string path;
  std::unique_ptr<Book> book;
  bool closed = false;

  Book& Get() {
    if (closed) throw AutomationError("工作簿 " + BaseName(path) + " 已关闭");
    return *book;
  }
  // Before a sheet's cells are read: the sheets nobody holds any longer go first, so a batch
  // over every sheet keeps one sheet's cells at a time.
  void MakeRoomFor(int sheet) {
    Book& opened = Get();
    if (!opened.IsLoaded(sheet)) opened.ReleaseIdleCells(sheet);
  }
  void Pin(int sheet) {
    if (!closed && book) book->Pin(sheet);
  }
  void Unpin(int sheet) {
    if (!closed && book) book->Unpin(sheet);
  }
  // Runs fn, turning a reader's failure into the automation error naming file and sheet.
  template <class Fn>
  auto Guard(int sheet, Fn&& fn) -> decltype(fn()) {
    try {
      return fn();
    } catch (const BookError& e) {
      std::string where = BaseName(path);
      if (sheet >= 0 && static_cast<std::size_t>(sheet) < book->sheets().size()) {
        where += " 的工作表“" + book->sheets()[static_cast<std::size_t>(sheet)].name + "”";
      }
      throw AutomationError("无法读取工作簿 " + where + "：" + e.what());
    }
  }
};

class EmbeddedRange : public Range {
 public:
  EmbeddedRange(std::shared_ptr<OpenedBook> book, int sheet, std::uint32_t row, std::uint32_t col)
      : book_(std::move(book)), sheet_(sheet), row_(row), col_(col) {
    book_->Pin(sheet_);
  }
  ~EmbeddedRange() override { book_->Unpin(sheet_); }
  EmbeddedRange(const EmbeddedRange&) = delete;
  EmbeddedRange& operator=(const EmbeddedRange&) = delete;

  Variant GetValue2() override {
    return book_->Guard(sheet_, [&] {
      book_->MakeRoomFor(sheet_);
      const Variant* v = book_->Get().Cells(sheet_).Find(row_, col_);
      return v ? *v : Variant();
    });
  }
  void PutValue2(const Variant& value) override {
    book_->Guard(sheet_, [&] {
      book_->MakeRoomFor(sheet_);
      book_->Get().SetCell(sheet_, row_, col_, value);
    });
  }

 private:
  std::shared_ptr<OpenedBook> book_;
  int sheet_;
  std::uint32_t row_, col_;
};

class EmbeddedWorksheet : public Worksheet {
 public:
  EmbeddedWorksheet(std::shared_ptr<OpenedBook> book, int sheet)
      : book_(std::move(book)), sheet_(sheet) {
    book_->Pin(sheet_);
  }
  ~EmbeddedWorksheet() override { book_->Unpin(sheet_); }
  EmbeddedWorksheet(const EmbeddedWorksheet&) = delete;
  EmbeddedWorksheet& operator=(const EmbeddedWorksheet&) = delete;

  std::string GetName() override { return Info().name; }
  std::int32_t GetVisible() override { return Info().visible; }
  std::shared_ptr<Range> GetRange(std::string_view cell1, std::string_view cell2) override {
    std::uint32_t row = 0, col = 0;
    if (cell1 != cell2 || !ParseA1(cell1, &row, &col)) {
      throw AutomationError("单元格地址无效：" + std::string(cell1) +
                            (cell1 == cell2 ? "" : ":" + std::string(cell2)));
    }
    book_->Get();
    return std::make_shared<EmbeddedRange>(book_, sheet_, row, col);
  }
  void PrintOut(std::string_view activePrinter) override {
    const PrintHandler& handler = InstalledPrintHandler();
    if (!handler) throw AutomationError("此版本的表格引擎不支持打印工作表");
    Book& book = book_->Get();
    book_->Guard(sheet_, [&] {
      book_->MakeRoomFor(sheet_);
      handler(book, sheet_, book_->path, activePrinter);
    });
  }

 private:
  const SheetInfo& Info() { return book_->Get().sheets()[static_cast<std::size_t>(sheet_)]; }
  std::shared_ptr<OpenedBook> book_;
  int sheet_;
};

class EmbeddedWorksheets : public Worksheets {
 public:
  explicit EmbeddedWorksheets(std::shared_ptr<OpenedBook> book) : book_(std::move(book)) {}
  std::int32_t GetCount() override {
    return static_cast<std::int32_t>(book_->Get().sheets().size());
  }
  std::shared_ptr<Worksheet> GetItem(std::int32_t index) override {
    if (index < 1 || index > GetCount()) {
      throw AutomationError("工作簿 " + BaseName(book_->path) + " 没有第 " + std::to_string(index) +
                            " 个工作表");
    }
    return std::make_shared<EmbeddedWorksheet>(book_, index - 1);
  }

 private:
  std::shared_ptr<OpenedBook> book_;
};

class EmbeddedWorkbook : public Workbook {
 public:
  explicit EmbeddedWorkbook(std::shared_ptr<OpenedBook> book) : book_(std::move(book)) {}

  std::shared_ptr<Worksheet> GetActiveSheet() override {
    Book& book = book_->Get();
    if (book.sheets().empty()) {
      throw AutomationError("工作簿 " + BaseName(book_->path) + " 没有工作表");
    }
    return std::make_shared<EmbeddedWorksheet>(book_, book.active_sheet());
  }
  std::shared_ptr<Worksheets> GetWorksheets() override {
    book_->Get();
    return std::make_shared<EmbeddedWorksheets>(book_);
  }
  void SaveAs(std::string_view fileName) override { Save(std::string(fileName)); }
  void Close(bool saveChanges, std::string_view fileName) override {
    if (book_->closed) return;
    if (saveChanges) Save(fileName.empty() ? book_->path : std::string(fileName));
    book_->closed = true;
    book_->book.reset();
  }

 private:
  void Save(const std::string& path) {
    Book& book = book_->Get();
    try {
      book.Save(path);
    } catch (const BookError& e) {
      throw AutomationError("无法保存工作簿 " + path + "：" + e.what());
    }
  }
  std::shared_ptr<OpenedBook> book_;
};

class EmbeddedWorkbooks : public Workbooks {
 public:
  std::shared_ptr<Workbook> Open(std::string_view path) override {
    auto opened = std::make_shared<OpenedBook>();
    opened->path = std::string(path);
    try {
      opened->book = OpenBook(opened->path);
    } catch (const BookError& e) {
      throw AutomationError("无法打开工作簿 " + opened->path + "：" + e.what());
    }
    open_.push_back(opened);
    return std::make_shared<EmbeddedWorkbook>(opened);
  }
  void Close() override {
    for (auto& opened : open_) {
      opened->closed = true;
      opened->book.reset();
    }
    open_.clear();
  }

 private:
  std::vector<std::shared_ptr<OpenedBook>> open_;
};

class EmbeddedApplication : public Application {
 public:
  void PutDisplayAlerts(bool value) override { display_alerts_ = value; }
  std::shared_ptr<Workbooks> GetWorkbooks() override {
    if (quit_) throw AutomationError("表格引擎已退出");
    return workbooks_;
  }
  void Quit() override {
    workbooks_->Close();
    quit_ = true;
  }

 private:
  bool display_alerts_ = true;
  bool quit_ = false;
  std::shared_ptr<EmbeddedWorkbooks> workbooks_ = std::make_shared<EmbeddedWorkbooks>();
};

}  // namespace

std::shared_ptr<Application> CreateEmbeddedApplication() {
  return std::make_shared<EmbeddedApplication>();
}

void SetPrintHandler(PrintHandler handler) { InstalledPrintHandler() = std::move(handler); }

void RegisterEmbeddedServer() { RegisterServer(kSpreadsheetProgId, CreateEmbeddedApplication); }

}  // namespace ledgerix::engine
