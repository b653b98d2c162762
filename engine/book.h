// The format-neutral workbook model behind the embedded spreadsheet server. Readers (.xlsx,
// .xls) fill it; the server's automation objects read and write cells through it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "bridges/spreadsheet.h"
#include "engine/sheet_layout.h"

namespace ledgerix::engine {

inline constexpr std::uint32_t kMaxRows = 1048576;  // 0-based rows are below this
inline constexpr std::uint32_t kMaxCols = 16384;
// BIFF8 (and the older BIFF versions, whose rows are 16-bit too).
inline constexpr std::uint32_t kMaxXlsRows = 65536;
inline constexpr std::uint32_t kMaxXlsCols = 256;

// What one sheet's cells may cost. Each cell counts kCellBudgetBytes (its place in the store
// and its value), and a text of its own (not an entry of the shared-string table, which is
// held once for the workbook) its length more; a sheet beyond kSheetBudgetBytes is refused as
// kTooLarge, naming the sheet. The shared-string table has the same budget.
inline constexpr std::uint64_t kCellBudgetBytes = 96;
inline constexpr std::uint64_t kSheetBudgetBytes = std::uint64_t{1024} << 20;

// A workbook that cannot be read, or a part of one. what() is a Chinese reason for the user,
// with technical detail in parentheses ("文件已损坏（record SST at offset 0x1A2C: ...）");
// the server prefixes the file name.
class BookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reasons, so every reader words them alike.
inline constexpr const char* kNotAWorkbook = "文件不是有效的Excel工作簿";
inline constexpr const char* kCorrupt = "文件已损坏";
inline constexpr const char* kEncrypted = "工作簿已加密，无法读取";
inline constexpr const char* kTooLarge = "文件内容过大";
inline constexpr const char* kUnsupported = "不支持的工作簿格式";

// A cell position outside the sheet's limits. Readers catch it to name the record or cell that
// carried it.
class CellOutOfRange : public BookError {
 public:
  CellOutOfRange(std::uint32_t row, std::uint32_t col, std::uint32_t max_rows,
                 std::uint32_t max_cols);
  // "row 2, column 65537 outside a sheet of 65536 rows × 256 columns", for a reader's own wording.
  const std::string& detail() const { return detail_; }

 private:
  explicit CellOutOfRange(std::string detail);
  std::string detail_;
};

// Sparse cells of one sheet, 0-based row and column. Every cell a reader or the server puts goes
// through Set, which refuses a position beyond the limits of the file's format, so a damaged
// record can never land its value in another cell.
class CellStore {
 public:
  CellStore() = default;
  CellStore(std::uint32_t max_rows, std::uint32_t max_cols)
      : max_rows_(max_rows), max_cols_(max_cols) {}
  // Throws CellOutOfRange when row or col is beyond the limits.
  void Set(std::uint32_t row, std::uint32_t col, Variant value);
  void SetLimits(std::uint32_t max_rows, std::uint32_t max_cols) {
    max_rows_ = max_rows;
    max_cols_ = max_cols;
  }
  std::uint32_t max_rows() const { return max_rows_; }
  std::uint32_t max_cols() const { return max_cols_; }
  // nullptr when the cell is empty.
  const Variant* Find(std::uint32_t row, std::uint32_t col) const;
  std::size_t size() const { return cells_.size(); }
  // Every non-empty cell in row-major order.
  void ForEach(
      const std::function<void(std::uint32_t row, std::uint32_t col, const Variant&)>& fn) const;

 private:
  // Each half holds a whole 32-bit index, so no two positions share a key.
  static std::uint64_t Key(std::uint32_t row, std::uint32_t col) {
    return (std::uint64_t{row} << 32) | col;
  }
  std::uint32_t max_rows_ = kMaxRows;
  std::uint32_t max_cols_ = kMaxCols;
  std::unordered_map<std::uint64_t, Variant> cells_;
};

struct SheetInfo {
  std::string name;
  std::int32_t visible = xlSheetVisible;  // -1 visible, 0 hidden, 2 very hidden
};

class Book {
 public:
  virtual ~Book() = default;

  // Worksheets only (no chart, macro or dialog sheets), in workbook order.
  const std::vector<SheetInfo>& sheets() const { return sheets_; }
  // Index into sheets() of the sheet active when the file was saved.
  int active_sheet() const { return active_sheet_; }
  // "xlsx", "BIFF8", "BIFF5" ...
  virtual std::string format() const = 0;
  bool date1904() const { return date1904_; }

  // The sheet's cells, read from the file on first use. Throws BookError.
  const CellStore& Cells(int sheet);
  // How the sheet looks and is set up for printing, read from the file on first use. A damaged
  // cosmetic record is skipped, never an error; throws BookError only when the sheet itself
  // cannot be read.
  const SheetLayout& Layout(int sheet);
  // Every cell format of the workbook, read on first use; damaged formats are skipped.
  const StyleTable& Styles();
  // The server's holders of a sheet: a pinned sheet keeps its cells.
  void Pin(int sheet);
  void Unpin(int sheet);
  bool IsLoaded(int sheet) const;
  // Drops the cells of every loaded sheet but keep that nobody pins and that SetCell never
  // changed; they are read from the file again when next asked for. References from Cells()
  // to a dropped sheet dangle, so only the server, which holds none, calls this.
  void ReleaseIdleCells(int keep);
  // What one sheet's cells may cost (kSheetBudgetBytes unless set); sheets read afterwards
  // beyond it are refused.
  void set_sheet_budget(std::uint64_t bytes) { sheet_budget_ = bytes; }
  std::uint64_t sheet_budget() const { return sheet_budget_; }
  // Puts a value (empty clears the cell).
  virtual void SetCell(int sheet, std::uint32_t row, std::uint32_t col, const Variant& value);
  // Writes the workbook to path in its own format, atomically. Formats that cannot be
  // written throw BookError.
  virtual void Save(const std::string& path);

 protected:
  // Reads one worksheet's cells into out; called at most once per sheet.
  virtual void LoadSheet(int sheet, CellStore& out) = 0;
  // Read how one worksheet looks and prints, and the workbook's formats; called at most once
  // each. Formats without such records keep the defaults.
  virtual void LoadLayout(int /*sheet*/, SheetLayout& /*out*/) {}
  virtual void LoadStyles(StyleTable& /*out*/) {}

  std::vector<SheetInfo> sheets_;
  int active_sheet_ = 0;
  bool date1904_ = false;

 private:
  std::uint64_t sheet_budget_ = kSheetBudgetBytes;
  std::vector<std::optional<CellStore>> loaded_;
  std::vector<int> pins_;      // per sheet once pinned
  std::vector<bool> changed_;  // per sheet once SetCell was used: never dropped
  std::vector<std::optional<SheetLayout>> layouts_;
  std::optional<StyleTable> styles_;
};

// Opens a workbook by its content (OLE2 compound file or ZIP package), whatever its name.
// Throws BookError.
std::unique_ptr<Book> OpenBook(const std::string& path);
// The same over bytes already in memory (fuzzing, tests). name is used in messages only.
std::unique_ptr<Book> OpenBookFromMemory(const std::string& name, std::string bytes);

// "B2" -> row 1, col 1 (0-based). Column letters and row digits only, upper or lower case,
// within the sheet's limits; false for anything else ("$B$2", "B0", "A1:B2").
bool ParseA1(std::string_view address, std::uint32_t* row, std::uint32_t* col);
// Row 1, col 1 -> "B2".
std::string FormatA1(std::uint32_t row, std::uint32_t col);

}  // namespace ledgerix::engine
