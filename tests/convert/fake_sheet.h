// An in-memory worksheet and workbook behind the spreadsheet interface, for converter tests
// without the engine. Cells are keyed by their A1 address; every read is logged in order.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bridges/spreadsheet.h"

namespace ledgerix::testing {

class FakeSheet : public Worksheet {
 public:
  explicit FakeSheet(std::string name = "Sheet1", std::int32_t visible = xlSheetVisible)
      : name_(std::move(name)), visible_(visible) {}

  void Set(const std::string& address, Variant value) { cells_[address] = std::move(value); }
  void SetText(const std::string& address, std::string text) {
    Set(address, Variant::String(std::move(text)));
  }
  void SetNumber(const std::string& address, double number) {
    Set(address, Variant::Number(number));
  }
  // Addresses in the order their values were read.
  const std::vector<std::string>& reads() const { return reads_; }

  std::string GetName() override { return name_; }
  std::int32_t GetVisible() override { return visible_; }
  std::shared_ptr<Range> GetRange(std::string_view cell1, std::string_view cell2) override {
    if (cell1 != cell2 || cell1.empty() || cell1.find_first_of("$:") != std::string_view::npos) {
      throw AutomationError("不支持的单元格地址：" + std::string(cell1));
    }
    return std::make_shared<CellRange>(*this, std::string(cell1));
  }
  void PrintOut(std::string_view) override {}

 private:
  class CellRange : public Range {
   public:
    CellRange(FakeSheet& sheet, std::string address)
        : sheet_(sheet), address_(std::move(address)) {}
    Variant GetValue2() override {
      sheet_.reads_.push_back(address_);
      auto it = sheet_.cells_.find(address_);
      return it == sheet_.cells_.end() ? Variant() : it->second;
    }
    void PutValue2(const Variant& value) override { sheet_.cells_[address_] = value; }

   private:
    FakeSheet& sheet_;
    std::string address_;
  };

  std::string name_;
  std::int32_t visible_;
  std::map<std::string, Variant> cells_;
  std::vector<std::string> reads_;
};

// Worksheets in workbook order with an active one.
class FakeWorkbook : public Workbook {
 public:
  std::shared_ptr<FakeSheet> Add(std::shared_ptr<FakeSheet> sheet) {
    sheets_->items.push_back(sheet);
    return sheet;
  }
  void SetActive(int index) { active_ = index; }

  std::shared_ptr<Worksheet> GetActiveSheet() override { return sheets_->items.at(active_); }
  std::shared_ptr<Worksheets> GetWorksheets() override { return sheets_; }
  void SaveAs(std::string_view) override { throw AutomationError("只读"); }
  void Close(bool, std::string_view) override {}

 private:
  struct Sheets : Worksheets {
    std::int32_t GetCount() override { return static_cast<std::int32_t>(items.size()); }
    std::shared_ptr<Worksheet> GetItem(std::int32_t index) override {
      if (index < 1 || index > GetCount()) throw AutomationError("下标越界");
      return items[static_cast<std::size_t>(index - 1)];
    }
    std::vector<std::shared_ptr<FakeSheet>> items;
  };
  std::shared_ptr<Sheets> sheets_ = std::make_shared<Sheets>();
  int active_ = 0;
};

}  // namespace ledgerix::testing
