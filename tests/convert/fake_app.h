// An in-memory spreadsheet server for the template converters: workbooks are kept as "files"
// in a map by path, opened as private copies, and written back by SaveAs or Close with
// SaveChanges. Each file it holds also exists on disk as an empty placeholder, so the
// converters' plain existence checks see it. Open, SaveAs, Close and every cell write are
// logged in order.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bridges/spreadsheet.h"

namespace ledgerix::testing {

// One workbook file: worksheet names in order and each sheet's cells by A1 address.
struct FakeFile {
  std::vector<std::string> sheetNames;
  std::vector<std::map<std::string, Variant>> sheets;

  static FakeFile WithSheets(std::vector<std::string> names) {
    FakeFile f;
    f.sheets.resize(names.size());
    f.sheetNames = std::move(names);
    return f;
  }
  // The value at (1-based) sheet and address; empty when unset.
  Variant At(int sheet, const std::string& address) const {
    const auto& cells = sheets.at(static_cast<std::size_t>(sheet - 1));
    auto it = cells.find(address);
    return it == cells.end() ? Variant() : it->second;
  }
};

class FakeApp : public Application {
 public:
  // Makes path openable and creates its empty placeholder on disk.
  void AddFile(const std::string& path, FakeFile file) {
    files_[path] = std::move(file);
    std::ofstream(std::filesystem::path(path), std::ios::binary);
  }
  bool HasFile(const std::string& path) const { return files_.count(path) != 0; }
  const FakeFile& File(const std::string& path) const { return files_.at(path); }
  std::size_t FileCount() const { return files_.size(); }
  // "Open P", "SaveAs P", "Close 0 P" / "Close 1 P" and "put <sheet>!<address>", in order.
  const std::vector<std::string>& log() const { return log_; }
  std::vector<std::string>& mutable_log() { return log_; }
  int OpenWorkbookCount() const { return open_; }

  void PutDisplayAlerts(bool) override {}
  std::shared_ptr<Workbooks> GetWorkbooks() override { return std::make_shared<Books>(*this); }
  void Quit() override {}

 private:
  class Sheet : public Worksheet {
   public:
    Sheet(FakeApp& app, std::string name, std::map<std::string, Variant>& cells)
        : app_(app), name_(std::move(name)), cells_(cells) {}
    std::string GetName() override { return name_; }
    std::int32_t GetVisible() override { return xlSheetVisible; }
    std::shared_ptr<Range> GetRange(std::string_view cell1, std::string_view cell2) override {
      if (cell1 != cell2 || cell1.empty()) throw AutomationError("bad address");
      return std::make_shared<Cell>(*this, std::string(cell1));
    }
    void PrintOut(std::string_view) override {}

   private:
    struct Cell : Range {
      Cell(Sheet& sheet, std::string address) : sheet_(sheet), address_(std::move(address)) {}
      Variant GetValue2() override {
        auto it = sheet_.cells_.find(address_);
        return it == sheet_.cells_.end() ? Variant() : it->second;
      }
      void PutValue2(const Variant& value) override {
        sheet_.app_.log_.push_back("put " + sheet_.name_ + "!" + address_);
        if (value.IsEmpty()) {
          sheet_.cells_.erase(address_);
        } else {
          sheet_.cells_[address_] = value;
        }
      }
      Sheet& sheet_;
      std::string address_;
    };
    FakeApp& app_;
    std::string name_;
    std::map<std::string, Variant>& cells_;
  };

  class Book : public Workbook, public Worksheets {
   public:
    Book(FakeApp& app, std::string path, FakeFile content)
        : app_(app), path_(std::move(path)), content_(std::move(content)) {
      for (std::size_t i = 0; i < content_.sheets.size(); ++i) {
        sheets_.push_back(
            std::make_shared<Sheet>(app_, content_.sheetNames[i], content_.sheets[i]));
      }
    }
    std::shared_ptr<Worksheet> GetActiveSheet() override { return sheets_.at(0); }
    std::shared_ptr<Worksheets> GetWorksheets() override {
      return std::shared_ptr<Worksheets>(std::shared_ptr<Book>(), this);
    }
    std::int32_t GetCount() override { return static_cast<std::int32_t>(sheets_.size()); }
    std::shared_ptr<Worksheet> GetItem(std::int32_t index) override {
      if (index < 1 || index > GetCount()) throw AutomationError("下标越界");
      return sheets_[static_cast<std::size_t>(index - 1)];
    }
    void SaveAs(std::string_view fileName) override {
      Live();
      app_.log_.push_back("SaveAs " + std::string(fileName));
      app_.AddFile(std::string(fileName), content_);
    }
    void Close(bool saveChanges, std::string_view fileName) override {
      Live();
      app_.log_.push_back(std::string("Close ") + (saveChanges ? "1 " : "0 ") +
                          std::string(fileName));
      if (saveChanges) app_.AddFile(fileName.empty() ? path_ : std::string(fileName), content_);
      closed_ = true;
      --app_.open_;
    }

   private:
    void Live() const {
      if (closed_) throw AutomationError("workbook closed");
    }
    FakeApp& app_;
    std::string path_;
    FakeFile content_;
    std::vector<std::shared_ptr<Sheet>> sheets_;
    bool closed_ = false;
  };

  struct Books : Workbooks {
    explicit Books(FakeApp& app) : app_(app) {}
    std::shared_ptr<Workbook> Open(std::string_view path) override {
      std::string p(path);
      app_.log_.push_back("Open " + p);
      auto it = app_.files_.find(p);
      if (it == app_.files_.end()) throw AutomationError("找不到文件 " + p);
      ++app_.open_;
      auto book = std::make_shared<Book>(app_, p, it->second);
      app_.books_.push_back(book);
      return book;
    }
    void Close() override {}
    FakeApp& app_;
  };

  std::map<std::string, FakeFile> files_;
  std::vector<std::shared_ptr<Book>> books_;  // kept alive as the server keeps them open
  std::vector<std::string> log_;
  int open_ = 0;
};

// Wraps a source worksheet and logs "get <address>" for every value read and
// "put-source <address>" for every write, so a test can see reads and writes interleaved.
class LoggedSheet : public Worksheet {
 public:
  LoggedSheet(Worksheet& inner, std::vector<std::string>& log) : inner_(inner), log_(log) {}
  std::string GetName() override { return inner_.GetName(); }
  std::int32_t GetVisible() override { return inner_.GetVisible(); }
  std::shared_ptr<Range> GetRange(std::string_view cell1, std::string_view cell2) override {
    return std::make_shared<Logged>(inner_.GetRange(cell1, cell2), std::string(cell1), log_);
  }
  void PrintOut(std::string_view printer) override { inner_.PrintOut(printer); }

 private:
  struct Logged : Range {
    Logged(std::shared_ptr<Range> inner, std::string address, std::vector<std::string>& log)
        : inner(std::move(inner)), address(std::move(address)), log(log) {}
    Variant GetValue2() override {
      log.push_back("get " + address);
      return inner->GetValue2();
    }
    void PutValue2(const Variant& value) override {
      log.push_back("put-source " + address);
      inner->PutValue2(value);
    }
    std::shared_ptr<Range> inner;
    std::string address;
    std::vector<std::string>& log;
  };
  Worksheet& inner_;
  std::vector<std::string>& log_;
};

}  // namespace ledgerix::testing
