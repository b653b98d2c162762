#include "engine/book.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "engine/decrypt_package.h"
#include "engine/xls_reader.h"
#include "engine/xlsx_reader.h"

namespace ledgerix::engine {

CellOutOfRange::CellOutOfRange(std::uint32_t row, std::uint32_t col, std::uint32_t max_rows,
                               std::uint32_t max_cols)
    : CellOutOfRange("row " + std::to_string(row + std::uint64_t{1}) + ", column " +
                     std::to_string(col + std::uint64_t{1}) + " outside a sheet of " +
                     std::to_string(max_rows) + " rows × " + std::to_string(max_cols) +
                     " columns") {}

CellOutOfRange::CellOutOfRange(std::string detail)
    : BookError("单元格超出工作表范围（" + detail + "）"), detail_(std::move(detail)) {}

void CellStore::Set(std::uint32_t row, std::uint32_t col, Variant value) {
  if (row >= max_rows_ || col >= max_cols_) throw CellOutOfRange(row, col, max_rows_, max_cols_);
  if (value.IsEmpty()) {
    cells_.erase(Key(row, col));
  } else {
    cells_.insert_or_assign(Key(row, col), std::move(value));
  }
}

const Variant* CellStore::Find(std::uint32_t row, std::uint32_t col) const {
  auto it = cells_.find(Key(row, col));
  return it == cells_.end() ? nullptr : &it->second;
}

void CellStore::ForEach(
    const std::function<void(std::uint32_t, std::uint32_t, const Variant&)>& fn) const {
  std::vector<std::uint64_t> keys;
  keys.reserve(cells_.size());
  for (const auto& entry : cells_) keys.push_back(entry.first);
  std::sort(keys.begin(), keys.end());
  for (std::uint64_t key : keys) {
    fn(static_cast<std::uint32_t>(key >> 32), static_cast<std::uint32_t>(key & 0xFFFFFFFFu),
       cells_.at(key));
  }
}

namespace {

// One sheet's part read on first use and kept: slots has a place per sheet once used.
template <typename Part, typename Load>
const Part& LoadOnce(std::vector<std::optional<Part>>& slots, std::size_t sheets, int sheet,
                     Load load) {
  if (sheet < 0 || static_cast<std::size_t>(sheet) >= sheets) {
    throw BookError(std::string(kCorrupt) + "（sheet index " + std::to_string(sheet) +
                    " out of range）");
  }
  if (slots.size() != sheets) slots.resize(sheets);
  auto& slot = slots[static_cast<std::size_t>(sheet)];
  if (!slot) {
    Part part;
    load(part);
    slot = std::move(part);
  }
  return *slot;
}

}  // namespace

const CellStore& Book::Cells(int sheet) {
  return LoadOnce(loaded_, sheets_.size(), sheet, [&](CellStore& out) { LoadSheet(sheet, out); });
}

const SheetLayout& Book::Layout(int sheet) {
  return LoadOnce(layouts_, sheets_.size(), sheet,
                  [&](SheetLayout& out) { LoadLayout(sheet, out); });
}

const StyleTable& Book::Styles() {
  if (!styles_) {
    StyleTable styles;
    LoadStyles(styles);
    styles_ = std::move(styles);
  }
  return *styles_;
}

void Book::Pin(int sheet) {
  if (sheet < 0 || static_cast<std::size_t>(sheet) >= sheets_.size()) return;
  if (pins_.size() != sheets_.size()) pins_.resize(sheets_.size());
  ++pins_[static_cast<std::size_t>(sheet)];
}

void Book::Unpin(int sheet) {
  if (sheet < 0 || static_cast<std::size_t>(sheet) >= pins_.size()) return;
  if (pins_[static_cast<std::size_t>(sheet)] > 0) --pins_[static_cast<std::size_t>(sheet)];
}

bool Book::IsLoaded(int sheet) const {
  return sheet >= 0 && static_cast<std::size_t>(sheet) < loaded_.size() &&
         loaded_[static_cast<std::size_t>(sheet)].has_value();
}

void Book::ReleaseIdleCells(int keep) {
  for (std::size_t i = 0; i < loaded_.size(); ++i) {
    if (static_cast<int>(i) == keep || !loaded_[i]) continue;
    if (i < pins_.size() && pins_[i] > 0) continue;
    if (i < changed_.size() && changed_[i]) continue;
    loaded_[i].reset();
  }
}

void Book::SetCell(int sheet, std::uint32_t row, std::uint32_t col, const Variant& value) {
  Cells(sheet);
  if (changed_.size() != sheets_.size()) changed_.resize(sheets_.size());
  changed_[static_cast<std::size_t>(sheet)] = true;
  loaded_[static_cast<std::size_t>(sheet)]->Set(row, col, value);
}

void Book::Save(const std::string&) {
  throw BookError(std::string("不能以") + format() + "格式保存工作簿");
}

namespace {

// Far beyond any statement workbook; guards against reading a device or a huge file whole.
constexpr std::uintmax_t kMaxFileBytes = 256u << 20;

bool StartsWith(const std::string& bytes, const char* magic, std::size_t n) {
  return bytes.size() >= n && std::memcmp(bytes.data(), magic, n) == 0;
}

}  // namespace

std::unique_ptr<Book> OpenBookFromMemory(const std::string& name, std::string bytes) {
  if (StartsWith(bytes, "PK\x03\x04", 4)) return OpenXlsx(std::move(bytes), name);
  if (StartsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
    // An encrypted .xlsx is a compound file too: its package is decrypted and read as one.
    if (std::optional<std::string> package = DecryptPackage(bytes, name)) {
      return OpenXlsx(std::move(*package), name);
    }
    return OpenXls(std::move(bytes), name);
  }
  // A bare BIFF stream starts with a BOF record: 0x0809 (BIFF5/8) or 0x0009/0x0209/0x0409.
  if (bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) == 0x09 &&
      (bytes[1] == 0x08 || bytes[1] == 0x00 || bytes[1] == 0x02 || bytes[1] == 0x04)) {
    return OpenXls(std::move(bytes), name);
  }
  throw BookError(kNotAWorkbook);
}

std::unique_ptr<Book> OpenBook(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw BookError(std::string("文件不存在或无法读取（") + std::strerror(errno) + "）");
  }
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0) throw BookError("无法读取文件");
  if (static_cast<std::uintmax_t>(size) > kMaxFileBytes) throw BookError(kTooLarge);
  in.seekg(0);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!in.read(bytes.data(), size)) throw BookError("无法读取文件");
  return OpenBookFromMemory(path, std::move(bytes));
}

bool ParseA1(std::string_view address, std::uint32_t* row, std::uint32_t* col) {
  std::size_t i = 0;
  std::uint32_t c = 0;
  while (i < address.size() && i < 4) {
    char ch = address[i];
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (ch < 'A' || ch > 'Z') break;
    c = c * 26 + static_cast<std::uint32_t>(ch - 'A' + 1);
    ++i;
  }
  if (i == 0 || c > kMaxCols) return false;
  std::size_t digits_start = i;
  std::uint32_t r = 0;
  while (i < address.size() && address[i] >= '0' && address[i] <= '9') {
    if (i - digits_start >= 7) return false;
    r = r * 10 + static_cast<std::uint32_t>(address[i] - '0');
    ++i;
  }
  if (i == digits_start || i != address.size() || address[digits_start] == '0' || r == 0 ||
      r > kMaxRows) {
    return false;
  }
  *row = r - 1;
  *col = c - 1;
  return true;
}

std::string FormatA1(std::uint32_t row, std::uint32_t col) {
  std::string letters;
  for (std::uint32_t c = col + 1; c > 0; c = (c - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  }
  return letters + std::to_string(row + 1);
}

}  // namespace ledgerix::engine
