// Whole workbooks: every non-empty cell's shown text, through the style readers (its own, its
// row's or column's style; a file's code or a built-in id), against what LibreOffice shows for
// the same file (tests/data/numfmt/workbooks_shown.tsv, made by lo_workbooks.py there). The
// files: LibreOffice-written workbooks with every code of extra_codes.tsv in both formats, the
// bundled examples and the layout and kind-1 fixtures.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <map>

#include "engine/book.h"
#include "print/numfmt.h"
#include "tests/print/lo_reference.h"

namespace ledgerix::print {
namespace {

using namespace testing;

struct Expected {
  std::string sheet, cell, text;
};

TEST(ShownWorkbooks, EveryCellAsLibreOfficeShowsIt) {
  std::ifstream in(std::string(LEDGERIX_TEST_DATA) + "/numfmt/workbooks_shown.tsv",
                   std::ios::binary);
  std::map<std::string, std::vector<Expected>> files;
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f = SplitTabs(line);
    ASSERT_EQ(f.size(), 4u) << line;
    files[f[0]].push_back({f[1], f[2], f[3]});
  }
  ASSERT_GE(files.size(), 10u) << "tests/data/numfmt/workbooks_shown.tsv is missing or short";
  std::size_t cells = 0, equal = 0, departed = 0;
  std::vector<std::string> differences;
  for (const auto& [rel, expected] : files) {
    std::unique_ptr<engine::Book> book =
        engine::OpenBook(std::string(LEDGERIX_SOURCE_DIR) + "/" + rel);
    std::map<std::string, int> sheet_index;
    for (std::size_t s = 0; s < book->sheets().size(); ++s)
      sheet_index[book->sheets()[s].name] = static_cast<int>(s);
    for (const Expected& e : expected) {
      ++cells;
      auto it = sheet_index.find(e.sheet);
      ASSERT_NE(it, sheet_index.end()) << rel << " " << e.sheet;
      std::uint32_t row = 0, col = 0;
      ASSERT_TRUE(engine::ParseA1(e.cell, &row, &col)) << e.cell;
      const Variant* v = book->Cells(it->second).Find(row, col);
      // LibreOffice lists a formula whose cached result is an empty text; we keep no cell.
      if (!v) {
        EXPECT_EQ(e.text, "") << rel << " " << e.sheet << "!" << e.cell;
        ++equal;
        continue;
      }
      ShownValue ours = ShownCell(*book, it->second, row, col, *v);
      if (ours.text == e.text) {
        ++equal;
        continue;
      }
      const engine::CellStyle& style =
          book->Styles().Get(book->Layout(it->second).StyleOf(row, col));
      std::string code = FormatCodeOf(style);
      std::string why = DepartureOf(NumberFormat(code), code, *v, ours, e.text, nullptr);
      std::string where = rel + " " + e.sheet + "!" + e.cell + " [" + code + "]: ours [" +
                          ours.text + "] LibreOffice [" + e.text + "]";
      if (why.empty()) {
        differences.push_back(where);
      } else {
        ++departed;
        std::cout << "  departure (" << why << ") " << where << "\n";
      }
    }
  }
  std::cout << "files " << files.size() << ", cells " << cells << ", equal " << equal
            << ", departures " << departed << ", differences " << differences.size() << "\n";
  for (const std::string& d : differences) std::cout << "  differs " << d << "\n";
  EXPECT_TRUE(differences.empty());
}

}  // namespace
}  // namespace ledgerix::print
