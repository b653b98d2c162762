// Every worksheet of every corpus workbook that opens is drawn as PDF pages without a crash, a
// sanitizer report or an error, each sheet at most kPageCap pages (a sheet formatted down to its
// last row would otherwise take minutes). Sheets that take long are reported, not failed: the
// time depends on the machine. Its own test program, so that the sanitizer stage builds and
// runs it without the rest of the printing tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "engine/book.h"
#include "print/render.h"
#include "tests/support/corpus.h"

namespace ledgerix::print {
namespace {

namespace fs = std::filesystem;

constexpr int kPageCap = 3;
constexpr double kSlowSeconds = 5;

struct Timed {
  double seconds = 0;
  std::string what;
};

TEST(RenderCorpus, EveryWorksheetDrawsItsFirstPages) {
  fs::path corpus = ledgerix::testing::CorpusDir();
  if (!fs::is_directory(corpus / "xls") || !fs::is_directory(corpus / "xlsx"))
    GTEST_SKIP() << "no corpus beside the checkout at " << corpus;
  RenderOptions options;
  options.max_pages_per_sheet = kPageCap;
  options.now = [] { return std::time_t{1206964800}; };
  std::size_t books = 0, sheets = 0, unreadable = 0, pages = 0;
  std::vector<Timed> times;
  auto start_all = std::chrono::steady_clock::now();
  for (const char* format : {"xls", "xlsx"}) {
    for (const fs::path& file : ledgerix::testing::SortedFiles(corpus / format)) {
      std::unique_ptr<engine::Book> book;
      try {
        book = engine::OpenBook(file.string());
      } catch (const engine::BookError&) {
        continue;  // the readers' corpus tests say which files may not open
      }
      ++books;
      options.file_name = file.filename().string();
      for (int s = 0; s < static_cast<int>(book->sheets().size()); ++s) {
        try {
          book->Cells(s);
        } catch (const engine::BookError&) {
          ++unreadable;  // a sheet that cannot be read cannot be printed either
          continue;
        }
        ++sheets;
        std::string where = file.filename().string() + " sheet " + std::to_string(s + 1);
        auto start = std::chrono::steady_clock::now();
        int drawn = 0;
        try {
          std::string pdf = RenderPdfBytes({SheetRef{book.get(), s}}, options, &drawn);
          EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u) << where;
        } catch (const std::exception& e) {
          ADD_FAILURE() << where << ": " << e.what();
        }
        EXPECT_GE(drawn, 0) << where;
        EXPECT_LE(drawn, kPageCap) << where;
        pages += static_cast<std::size_t>(drawn);
        times.push_back(
            {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
             where});
      }
    }
  }
  double all = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_all).count();
  std::sort(times.begin(), times.end(),
            [](const Timed& a, const Timed& b) { return a.seconds > b.seconds; });
  std::cout << "workbooks " << books << ", sheets drawn " << sheets << " (unreadable " << unreadable
            << "), pages " << pages << ", " << all << " s\n";
  for (std::size_t i = 0; i < times.size() && i < 5; ++i)
    std::cout << "  slowest: " << times[i].seconds << " s " << times[i].what << "\n";
  for (const Timed& t : times)
    if (t.seconds > kSlowSeconds)
      std::cout << "  SLOW (over " << kSlowSeconds << " s): " << t.what << "\n";
  EXPECT_GT(books, 900u);
  EXPECT_GT(sheets, 1500u);
}

}  // namespace
}  // namespace ledgerix::print
