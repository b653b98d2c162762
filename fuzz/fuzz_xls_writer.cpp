// libFuzzer target for the .xls writer: open a workbook from memory, write a few cells of every
// kind into its first sheet through the patching writer, save, reopen and compare every sheet
// with what was in memory. A BookError on opening or saving is the expected refusal; a saved
// file that does not reopen, or reopens with other values, aborts as a finding.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/book.h"

namespace {

using ledgerix::Variant;
using ledgerix::engine::Book;
using ledgerix::engine::BookError;

using Cells = std::map<std::pair<std::uint32_t, std::uint32_t>, Variant>;

std::optional<Cells> Snapshot(Book& book, int sheet) {
  try {
    Cells out;
    book.Cells(sheet).ForEach([&](std::uint32_t row, std::uint32_t col, const Variant& v) {
      out[{row, col}] = v;
    });
    return out;
  } catch (const BookError&) {
    return std::nullopt;
  }
}

bool Same(const Variant& a, const Variant& b) {
  if (a.type() == Variant::Type::Number && b.type() == Variant::Type::Number &&
      std::isnan(a.number()) && std::isnan(b.number())) {
    return true;
  }
  return a == b;
}

std::string g_writes;  // where this input's writes went, for the report

[[noreturn]] void Finding(const std::string& what) {
  std::fprintf(stderr, "fuzz_xls_writer: %s (writes at %s)\n", what.c_str(), g_writes.c_str());
  std::abort();
}

// A temporary file removed when the input is done.
struct TempFile {
  std::string path;
  TempFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fuzz-xlsw-XXXXXX").string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) Finding("cannot create a temporary file");
    ::close(fd);
    path = pattern;
  }
  ~TempFile() { std::remove(path.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<Book> book;
  try {
    book = ledgerix::engine::OpenBookFromMemory(
        "fuzz.xls", std::string(reinterpret_cast<const char*>(data), size));
  } catch (const BookError&) {
    return 0;
  }
  if (book->format() != "BIFF8" || book->sheets().empty()) return 0;
  // Where the writes land depends on the input, so the fuzzer reaches rows and runs of its own.
  std::uint32_t seed = 0;
  for (std::size_t i = 0; i < size; i += 97) seed = seed * 31 + data[i];
  const std::uint32_t row = seed % 80, col = (seed >> 8) % 12;
  g_writes = ledgerix::engine::FormatA1(row, col) + " and around it";
  std::vector<std::optional<Cells>> before;
  try {
    book->SetCell(0, row, col, Variant::String("写入的文本"));
    book->SetCell(0, row + 1, col, Variant::Number(-1234.5));
    book->SetCell(0, row, col + 1, Variant::Boolean(true));
    book->SetCell(0, 0, 0, Variant::String("A1 " + std::to_string(seed)));
    book->SetCell(0, row + 40, 3, Variant());
    book->SetCell(0, 2, 1, Variant::Number(seed));
  } catch (const BookError&) {
    return 0;  // the first sheet does not read
  }
  for (int i = 0; i < static_cast<int>(book->sheets().size()); ++i) {
    before.push_back(Snapshot(*book, i));
  }
  TempFile out;
  try {
    book->Save(out.path);
  } catch (const BookError&) {
    return 0;  // a structure the writer refuses (array formula, too long, ...)
  }
  std::ifstream in(out.path, std::ios::binary);
  std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::unique_ptr<Book> again;
  try {
    again = ledgerix::engine::OpenBookFromMemory("saved.xls", saved);
  } catch (const BookError& e) {
    Finding(std::string("the saved workbook does not open: ") + e.what());
  }
  if (again->sheets().size() != book->sheets().size()) Finding("the sheet count changed");
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (!before[i]) continue;  // a sheet that did not read before need not read now
    std::optional<Cells> after = Snapshot(*again, static_cast<int>(i));
    if (!after) Finding("sheet " + std::to_string(i) + " no longer reads");
    for (const auto& [cell, value] : *before[i]) {
      auto it = after->find(cell);
      if (it == after->end()) {
        Finding("sheet " + std::to_string(i) + " cell " +
                ledgerix::engine::FormatA1(cell.first, cell.second) + " was lost");
      }
      if (!Same(it->second, value)) {
        Finding("sheet " + std::to_string(i) + " cell " +
                ledgerix::engine::FormatA1(cell.first, cell.second) + " changed");
      }
    }
    for (const auto& [cell, value] : *after) {
      if (!before[i]->count(cell)) {
        Finding("sheet " + std::to_string(i) + " cell " +
                ledgerix::engine::FormatA1(cell.first, cell.second) + " appeared");
      }
    }
  }
  return 0;
}
