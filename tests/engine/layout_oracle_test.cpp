// What the engine reads of how sheets look and print, against LibreOffice (over its API) and
// xlrd (formatting_info=True): for the fixtures LibreOffice wrote with varied page setups
// (tests/data/layout, made by make_layout_fixtures.py) and for the corpus workbooks that carry
// a print setup. check_layout.py does the comparing; reviewed differences are listed with
// their verdicts in tests/data/layout/*_expectations.tsv. Also: every corpus workbook that
// opens gives its styles and the layout of every readable sheet without an error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/book.h"
#include "tests/engine/layout_json.h"
#include "tests/support/corpus.h"

namespace fs = std::filesystem;
using namespace ledgerix::engine;

namespace {

const fs::path kLayoutData = fs::path(LEDGERIX_TEST_DATA) / "layout";
const fs::path kCorpus = ledgerix::testing::CorpusDir();

bool HaveLibreOfficeAndUno() {
  return std::system("command -v soffice >/dev/null 2>&1") == 0 &&
         std::system("LC_ALL=C.UTF-8 /usr/bin/python3 -c 'import uno, xlrd' >/dev/null 2>&1") == 0;
}

// A "has a print setup" test for choosing corpus files: anything a print would use beyond
// margins alone, which nearly every .xlsx states.
bool HasPrintSetup(const SheetLayout& l) {
  const PageSetup& p = l.page;
  return p.paper || p.scale || p.fit_to_page || !l.print_area.empty() || l.title_rows ||
         l.title_cols || !l.row_breaks.empty() || !l.col_breaks.empty() || !l.merges.empty() ||
         !l.header_footer.odd_header.empty() || !l.header_footer.odd_footer.empty() ||
         p.center_horizontally || p.print_gridlines;
}

// Writes the engine's side of files that open and carry a print setup; returns how many.
// With only_with_setup, every stride-th of the files that carry one.
std::size_t WriteOurs(const std::vector<fs::path>& files, const fs::path& out_path,
                      bool only_with_setup, std::size_t stride = 1) {
  std::ofstream out(out_path, std::ios::binary);
  std::size_t written = 0, seen = 0;
  for (const fs::path& file : files) {
    std::unique_ptr<Book> book;
    try {
      book = OpenBook(file.string());
    } catch (const BookError&) {
      continue;
    }
    bool any = !only_with_setup;
    std::vector<std::string> lines;
    for (std::size_t s = 0; s < book->sheets().size(); ++s) {
      lines.push_back(
          ledgerix::engine::testing::SheetJson(*book, file.string(), static_cast<int>(s)));
      try {
        any = any || HasPrintSetup(book->Layout(static_cast<int>(s)));
      } catch (const BookError&) {
      }
    }
    if (!any || seen++ % stride != 0) continue;
    out << ledgerix::engine::testing::BookJson(*book, file.string()) << '\n';
    for (const std::string& line : lines) out << line << '\n';
    ++written;
  }
  return written;
}

// Runs the comparison; its report goes into the failure message.
int RunCheck(const fs::path& ours, const fs::path& expectations, bool quick, std::string* report) {
  std::string command = "LC_ALL=C.UTF-8 /usr/bin/python3 '" +
                        (kLayoutData / "check_layout.py").string() + "' '" + ours.string() + "' '" +
                        expectations.string() + "' --summary" + (quick ? " --quick" : "") + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 4096> buf;
  while (std::size_t n = std::fread(buf.data(), 1, buf.size(), pipe)) report->append(buf.data(), n);
  int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

fs::path TempJsonl(const char* what) {
  return fs::temp_directory_path() /
         (std::string("ledgerix_layout_") + what + "_" + std::to_string(::getpid()) + ".jsonl");
}

TEST(LayoutAgainstLibreOffice, FixturesWithVariedPageSetups) {
  // The comparison needs its outside readers: their absence fails, never passes silently.
  ASSERT_TRUE(HaveLibreOfficeAndUno()) << "LibreOffice with python3-uno and xlrd is needed";
  std::vector<fs::path> files = {kLayoutData / "lo_layout.xls", kLayoutData / "lo_layout.xlsx"};
  fs::path ours = TempJsonl("fixtures");
  ASSERT_EQ(WriteOurs(files, ours, false), 2u);
  std::string report;
  int status = RunCheck(ours, kLayoutData / "fixture_expectations.tsv", false, &report);
  fs::remove(ours);
  // The checker must have compared every sheet of both files, or it proved nothing.
  EXPECT_NE(report.find("\"sheets compared with LibreOffice\": 8"), std::string::npos) << report;
  EXPECT_NE(report.find("\"xlrd sheets compared\": 4"), std::string::npos) << report;
  EXPECT_EQ(status, 0) << report;
}

TEST(LayoutAgainstLibreOffice, CorpusWorkbooksWithPrintSetups) {
  if (!fs::is_directory(kCorpus / "xls")) GTEST_SKIP() << "no corpus at " << kCorpus;
  // The comparison needs its outside readers: their absence fails, never passes silently.
  ASSERT_TRUE(HaveLibreOfficeAndUno()) << "LibreOffice with python3-uno and xlrd is needed";
  std::vector<fs::path> files;
  for (const char* format : {"xls", "xlsx"}) {
    for (const auto& entry : fs::directory_iterator(kCorpus / format))
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  // LibreOffice takes seconds a workbook on a loaded machine, so a routine run checks every
  // 25th of the 550 with a setup; LEDGERIX_LAYOUT_CORPUS=all checks them all (over half an
  // hour).
  const char* all = std::getenv("LEDGERIX_LAYOUT_CORPUS");
  bool every = all && std::string(all) == "all";
  // LEDGERIX_KEEP_LAYOUT_DUMP=PATH keeps the engine's side for a closer look.
  const char* keep = std::getenv("LEDGERIX_KEEP_LAYOUT_DUMP");
  fs::path ours = keep ? fs::path(keep) : TempJsonl("corpus");
  std::size_t written = WriteOurs(files, ours, true, every ? 1 : 25);
  EXPECT_GT(written, every ? 500u : 15u);
  std::string report;
  int status = RunCheck(ours, kLayoutData / "corpus_expectations.tsv", true, &report);
  if (!keep) fs::remove(ours);
  std::printf("%s\n", report.substr(report.size() > 6000 ? report.size() - 6000 : 0).c_str());
  EXPECT_EQ(status, 0) << report.substr(report.size() > 60000 ? report.size() - 60000 : 0);
}

// Zero regressions: reading the look and setup never fails a workbook that opens, and a
// sheet's layout fails only where its cells fail too (a sheet that cannot be split into
// records at all).
TEST(LayoutCorpus, EveryWorkbookThatOpensGivesStylesAndLayouts) {
  if (!fs::is_directory(kCorpus / "xls")) GTEST_SKIP() << "no corpus at " << kCorpus;
  std::size_t books = 0, sheets = 0;
  for (const char* format : {"xls", "xlsx"}) {
    for (const auto& entry : fs::directory_iterator(kCorpus / format)) {
      std::unique_ptr<Book> book;
      try {
        book = OpenBook(entry.path().string());
      } catch (const BookError&) {
        continue;
      }
      ++books;
      EXPECT_NO_THROW(book->Styles()) << entry.path();
      for (std::size_t s = 0; s < book->sheets().size(); ++s) {
        bool cells_ok = true;
        try {
          book->Cells(static_cast<int>(s));
        } catch (const BookError&) {
          cells_ok = false;
        }
        try {
          book->Layout(static_cast<int>(s));
          ++sheets;
        } catch (const BookError& e) {
          EXPECT_FALSE(cells_ok) << entry.path() << " sheet " << s << ": " << e.what();
        }
      }
    }
  }
  EXPECT_GT(books, 1000u);
  EXPECT_GT(sheets, 2000u);
}

}  // namespace
