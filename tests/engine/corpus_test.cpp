// Every workbook of the shared corpus (.xls, .xlsx/.xlsm): none may crash or hang the reader,
// and Value2 must agree with the reference dumps except where
// tests/data/corpus/<format>_expectations.tsv says why not. This test writes what the engine
// reads as JSON lines; <format>_compare.py compares.
#include "tests/support/corpus.h"

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

#include "bridges/workbook_passwords.h"
#include "engine/book.h"
#include "engine/workbook_json.h"
#include "tests/outside_tools.h"

namespace fs = std::filesystem;
using namespace ledgerix::engine;

namespace {

// One workbook as the reference dumps describe one, by the engine's own JSON writer (the one
// `ledgerix-cli dump` uses); a sheet that cannot be read carries its error.
std::string DumpWorkbook(const fs::path& path, const std::string& file) {
  try {
    std::unique_ptr<Book> book = OpenBook(path.string());
    WorkbookJsonOptions options;
    options.sheet_errors = true;
    return WorkbookJson(*book, file, options);
  } catch (const BookError& e) {
    return UnopenedWorkbookJson(file, e.what());
  }
}

// The passwords the corpus's encrypted files are known by (their names and notes say so);
// the comparison decrypts them independently with the same list.
const std::vector<std::string> kCorpusPasswords = {"password", "123", "abc", "tika"};

void CheckCorpus(const std::string& format, std::size_t min_files) {
  fs::path corpus = ledgerix::testing::CorpusDir();
  if (!fs::is_directory(corpus / format) || !fs::is_directory(corpus / "reference" / format)) {
    GTEST_SKIP() << "no corpus beside the checkout at " << corpus;
  }
  ASSERT_TRUE(fs::exists("/usr/bin/python3")) << "the comparison needs /usr/bin/python3";

  std::vector<fs::path> files = ledgerix::testing::SortedFiles(corpus / format);
  ASSERT_GT(files.size(), min_files);

  // LEDGERIX_KEEP_CORPUS_DUMP=PATH keeps the engine's side for a closer look.
  const char* keep = std::getenv("LEDGERIX_KEEP_CORPUS_DUMP");
  fs::path ours = keep ? fs::path(keep)
                       : fs::temp_directory_path() / ("ledgerix_" + format + "_corpus_" +
                                                      std::to_string(::getpid()) + ".jsonl");
  {
    ledgerix::ScopedWorkbookPasswords passwords({kCorpusPasswords, nullptr});
    std::ofstream out(ours, std::ios::binary);
    for (const auto& file : files) {
      out << DumpWorkbook(file, format + "/" + file.filename().string()) << '\n';
    }
  }
  std::string password_list;
  for (const std::string& p : kCorpusPasswords)
    password_list += (password_list.empty() ? "" : ",") + p;
  std::string command = "LC_ALL=C.UTF-8 /usr/bin/python3 '" LEDGERIX_TEST_DATA "/corpus/" + format +
                        "_compare.py' '" + ours.string() + "' '" + (corpus / "reference").string() +
                        "' '" + LEDGERIX_TEST_DATA "/corpus/" + format +
                        "_expectations.tsv' --passwords=" + password_list + " 2>&1";
  std::string report;
  FILE* pipe = ledgerix::testing::OpenToolPipe(command);
  ASSERT_NE(pipe, nullptr);
  std::array<char, 4096> buf;
  while (std::size_t n = std::fread(buf.data(), 1, buf.size(), pipe)) report.append(buf.data(), n);
  int status = ::pclose(pipe);
  if (!keep) fs::remove(ours);
  EXPECT_EQ(status, 0) << report;
  // The figures (workbooks compared, encrypted workbooks that open) for the test log.
  std::printf("%s", report.c_str());
}

TEST(XlsCorpus, AgreesWithReferenceDumpsOrExpectations) { CheckCorpus("xls", 600); }

TEST(XlsxCorpus, AgreesWithReferenceDumpsOrExpectations) { CheckCorpus("xlsx", 500); }

}  // namespace
