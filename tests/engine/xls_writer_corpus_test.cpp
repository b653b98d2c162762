// The writer on real workbooks: a sample of the shared corpus's .xls files gets a few cells
// written (text over an existing cell, a number in a new row, a boolean, a cleared cell), is
// saved and read back by our reader and by xlrd. The written cells change; nothing else does.
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "engine/book.h"
#include "engine/ole2_container.h"
#include "tests/engine/xls_writer_support.h"
#include "tests/support/corpus.h"

namespace ledgerix::engine {
namespace {

namespace fs = std::filesystem;
using namespace testing;  // NOLINT: the writer's checks

struct Sample {
  std::string source;
  std::string output;
  std::string sheet;
  std::map<std::string, Variant> writes;  // A1 -> value; empty clears
};

void Apply(BookCells& cells, const Sample& s) {
  for (const auto& [address, value] : s.writes) {
    if (value.IsEmpty()) {
      cells[s.sheet].erase(address);
    } else {
      cells[s.sheet][address] = value;
    }
  }
}

TEST(XlsWriterCorpus, WrittenCellsChangeAndNothingElse) {
  fs::path corpus = ledgerix::testing::CorpusDir() / "xls";
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() == ".xls") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());

  std::string pattern = (fs::temp_directory_path() / "ledgerix-xlsw-corpus-XXXXXX").string();
  fs::path dir = ::mkdtemp(pattern.data());
  std::vector<Sample> saved;
  int unreadable = 0, other_format = 0, refused = 0;
  for (std::size_t i = 0; i < files.size(); i += 6) {
    std::unique_ptr<Book> book;
    try {
      book = OpenBook(files[i].string());
      if (book->sheets().empty()) throw BookError("no sheets");
      book->Cells(0);
    } catch (const BookError&) {
      ++unreadable;
      continue;
    }
    Sample s;
    s.source = files[i].string();
    s.output = (dir / (std::to_string(i) + ".xls")).string();
    s.sheet = book->sheets()[0].name;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> existing;
    std::uint32_t last_row = 0;
    book->Cells(0).ForEach([&](std::uint32_t row, std::uint32_t col, const Variant&) {
      if (row < 65536 && col < 256) existing.emplace_back(row, col);
      last_row = std::max(last_row, row);
    });
    auto put = [&](std::uint32_t row, std::uint32_t col, Variant v) {
      s.writes[FormatA1(row, col)] = v;
      book->SetCell(0, row, col, v);
    };
    if (!existing.empty())
      put(existing.front().first, existing.front().second,
          Variant::String("写入的文本 " + std::to_string(i)));
    if (existing.size() > 2) put(existing.back().first, existing.back().second, Variant());
    put(std::min<std::uint32_t>(last_row + 2, 65535), 1, Variant::Number(314.25));
    put(0, 30, Variant::Boolean(true));

    BookCells expected;
    try {
      expected = AllCells(*book);
    } catch (const BookError&) {
      ++unreadable;  // a later sheet the reader rejects
      continue;
    }
    try {
      book->Save(s.output);
    } catch (const BookError& e) {
      if (book->format() != "BIFF8") {
        ++other_format;
      } else {
        ++refused;
        std::cout << "refused: " << files[i].filename() << ": " << e.what() << "\n";
      }
      EXPECT_FALSE(fs::exists(s.output));
      continue;
    }
    ASSERT_EQ(book->format(), "BIFF8") << s.source;
    book.reset();

    std::ifstream in(s.output, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(s.source);
    // Offsets the original already got wrong (in sheets left as they were) may stay wrong.
    std::ifstream original_in(s.source, std::ios::binary);
    std::string original((std::istreambuf_iterator<char>(original_in)),
                         std::istreambuf_iterator<char>());
    std::vector<std::string> problems = OffsetProblems(ReadWorkbookStream(bytes));
    std::vector<std::string> before = OffsetProblems(ReadWorkbookStream(original), false);
    if (before.empty()) {
      EXPECT_EQ(problems, std::vector<std::string>{});
    } else {
      EXPECT_LE(problems.size(), before.size());
    }
    if (original.compare(0, 4, "\xD0\xCF\x11\xE0") == 0) {
      Ole2Container before(original), after(bytes);
      EXPECT_EQ(before.StreamNames(), after.StreamNames());
      bool workbook = before.Find("Workbook") >= 0;
      for (const std::string& name : before.StreamNames()) {
        if (::strcasecmp(name.c_str(), workbook ? "Workbook" : "Book") == 0) continue;
        EXPECT_EQ(before.Read(before.Find(name), original.size()),
                  after.Read(after.Find(name), bytes.size()))
            << name;
      }
    }
    std::unique_ptr<Book> reread = OpenBook(s.output);
    EXPECT_EQ(AllCells(*reread), expected);
    saved.push_back(s);
  }

  std::vector<std::string> paths;
  for (const Sample& s : saved) {
    paths.push_back(s.source);
    paths.push_back(s.output);
  }
  std::map<std::string, BookCells> xlrd = XlrdCells(paths);
  int xlrd_compared = 0;
  for (const Sample& s : saved) {
    BookCells before = xlrd[s.source];
    if (before.count("!error")) continue;  // xlrd cannot read the original either
    Apply(before, s);
    EXPECT_EQ(xlrd[s.output], before) << s.source;
    ++xlrd_compared;
  }
  std::cout << "corpus sample: " << saved.size() << " saved, " << xlrd_compared
            << " compared with xlrd, " << refused << " refused, " << other_format << " not BIFF8, "
            << unreadable << " unreadable\n";
  EXPECT_GE(saved.size(), 30u);
  if (!::getenv("XLSW_KEEP"))
    fs::remove_all(dir);
  else
    std::cout << dir << "\n";
}

}  // namespace
}  // namespace ledgerix::engine
