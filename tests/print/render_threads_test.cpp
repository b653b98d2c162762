// Rendering on several threads at once, as a batch's workers do: each thread draws with its own
// fonts, and every thread's document is the main thread's, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/book.h"
#include "print/render.h"
#include "print/render_internal.h"

namespace ledgerix::print {
namespace {

const std::string kExamples = std::string(LEDGERIX_SOURCE_DIR) + "/examples";

std::string Render(const std::string& path) {
  std::unique_ptr<engine::Book> book = engine::OpenBook(path);
  std::vector<SheetRef> sheets;
  for (int i = 0; i < static_cast<int>(book->sheets().size()); ++i) {
    if (book->sheets()[static_cast<std::size_t>(i)].visible == xlSheetVisible)
      sheets.push_back({book.get(), i});
  }
  RenderOptions options;
  options.file_name = "a.xls";
  options.now = [] { return std::time_t{1207000000}; };
  return RenderPdfBytes(sheets, options);
}

TEST(RenderThreads, WorkersDrawTheMainThreadsDocumentsWithTheirOwnFonts) {
  // A Song-style .xls return of several sheets and a Calibri .xlsx one: the aliased CJK fonts,
  // the East Asian fallback, bold and wrapped text all go through each thread's own fonts.
  const std::vector<std::string> books = {
      kExamples + "/kind5/恒信商贸_2008年资产负债表.xls",
      kExamples + "/kind9/粤丰五金_2008年度企业所得税申报表.xlsx"};
  std::vector<std::string> expected;
  for (const std::string& b : books) expected.push_back(Render(b));
  for (const std::string& e : expected) ASSERT_GT(e.size(), 1000u);

  constexpr int kThreads = 3;
  std::vector<std::vector<std::string>> got(kThreads);
  std::vector<std::string> families(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Each thread in its own order, twice, so that first use and reuse of a thread's fonts
      // overlap with the other threads'.
      for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < books.size(); ++i)
          got[t].push_back(Render(books[(i + static_cast<std::size_t>(t)) % books.size()]));
      }
      families[t] = ResolvedFamily("宋体");
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE("thread " + std::to_string(t));
    ASSERT_EQ(got[t].size(), 2 * books.size());
    for (std::size_t k = 0; k < got[t].size(); ++k) {
      const std::string& want = expected[(k + static_cast<std::size_t>(t)) % books.size()];
      EXPECT_TRUE(got[t][k] == want) << "document " << k << " differs from the main thread's";
    }
    // A worker's fonts carry our aliases as the main thread's do.
    EXPECT_EQ(families[t], "AR PL UMing CN");
  }
}

}  // namespace
}  // namespace ledgerix::print
