// Every workbook of the shared corpus (.xls, .xlsx/.xlsm): none may crash or hang the reader,
// and Value2 must agree with the reference dumps except where
// tests/data/corpus/<format>_expectations.tsv says why not. This test writes what the engine
// reads as JSON lines; <format>_compare.py compares.
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
#include "tests/outside_tools.h"

namespace fs = std::filesystem;
using ledgerix::CellError;
using ledgerix::CellErrorText;
using ledgerix::Variant;
using namespace ledgerix::engine;

namespace {

void AppendJsonString(std::string& out, const std::string& text) {
  out.push_back('"');
  for (unsigned char ch : text) {
    if (ch == '"' || ch == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(ch));
    } else if (ch < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", ch);
      out.append(buf);
    } else {
      out.push_back(static_cast<char>(ch));
    }
  }
  out.push_back('"');
}

void AppendCell(std::string& out, const Variant& v) {
  char buf[40];
  switch (v.type()) {
    case Variant::Type::Number:
      std::snprintf(buf, sizeof buf, "[\"n\",%.17g]", v.number());
      out.append(buf);
      break;
    case Variant::Type::String:
      out.append("[\"s\",");
      AppendJsonString(out, v.string());
      out.push_back(']');
      break;
    case Variant::Type::Boolean:
      out.append(v.boolean() ? "[\"b\",true]" : "[\"b\",false]");
      break;
    case Variant::Type::Error:
      out.append("[\"e\",");
      AppendJsonString(out, CellErrorText(v.error()));
      out.push_back(']');
      break;
    case Variant::Type::Empty:
      out.append("null");
      break;
  }
}

// One workbook as the reference dumps describe one: sheets, visibility 0/1/2, cells, active.
std::string DumpWorkbook(const fs::path& path, const std::string& file) {
  std::string out = "{\"file\":";
  AppendJsonString(out, file);
  try {
    std::unique_ptr<Book> book = OpenBook(path.string());
    out.append(
        ",\"error\":null,\"active_sheet\":" +
        (book->sheets().empty() ? std::string("null") : std::to_string(book->active_sheet())) +
        ",\"sheets\":[");
    for (std::size_t i = 0; i < book->sheets().size(); ++i) {
      const SheetInfo& info = book->sheets()[i];
      if (i) out.push_back(',');
      out.append("{\"name\":");
      AppendJsonString(out, info.name);
      int visibility = info.visible == ledgerix::xlSheetVisible  ? 0
                       : info.visible == ledgerix::xlSheetHidden ? 1
                                                                 : 2;
      out.append(",\"visibility\":" + std::to_string(visibility) + ",");
      try {
        const CellStore& cells = book->Cells(static_cast<int>(i));
        out.append("\"cells\":{");
        bool first = true;
        cells.ForEach([&](std::uint32_t row, std::uint32_t col, const Variant& v) {
          if (!first) out.push_back(',');
          first = false;
          AppendJsonString(out, FormatA1(row, col));
          out.push_back(':');
          AppendCell(out, v);
        });
        out.append("}}");
      } catch (const BookError& e) {
        out.append("\"cells\":{},\"cells_error\":");
        AppendJsonString(out, e.what());
        out.push_back('}');
      }
    }
    out.append("]}");
  } catch (const BookError& e) {
    out.append(",\"error\":");
    AppendJsonString(out, e.what());
    out.append(",\"sheets\":[],\"active_sheet\":null}");
  }
  return out;
}

// The passwords the corpus's encrypted files are known by (their names and notes say so);
// the comparison decrypts them independently with the same list.
const std::vector<std::string> kCorpusPasswords = {"password", "123", "abc", "tika"};

void CheckCorpus(const std::string& format, std::size_t min_files) {
  fs::path corpus = fs::path(LEDGERIX_SOURCE_DIR) / ".." / "shared" / "corpus";
  if (!fs::is_directory(corpus / format) || !fs::is_directory(corpus / "reference" / format)) {
    GTEST_SKIP() << "no corpus beside the checkout at " << corpus;
  }
  if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3 for the comparison";

  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(corpus / format)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
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
