// Every cell of every corpus workbook that opens shows a text through its real style: the
// formats and style tables of real files never crash, hang or throw here, and a cell's text is
// always its pieces joined.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/book.h"
#include "print/numfmt.h"
#include "tests/support/corpus.h"

namespace ledgerix::print {
namespace {

namespace fs = std::filesystem;

TEST(ShownCorpus, EveryCellOfEveryWorkbookThatOpensShowsItsText) {
  fs::path corpus = ledgerix::testing::CorpusDir();
  if (!fs::is_directory(corpus / "xls"))
    GTEST_SKIP() << "no corpus beside the checkout at " << corpus;
  std::size_t books = 0, cells = 0, numbers_with_format = 0;
  for (const char* format : {"xls", "xlsx"}) {
    for (const fs::path& file : ledgerix::testing::SortedFiles(corpus / format)) {
      std::unique_ptr<engine::Book> book;
      try {
        book = engine::OpenBook(file.string());
      } catch (const engine::BookError&) {
        continue;  // the reader's corpus test says which files may not open
      }
      ++books;
      for (int s = 0; s < static_cast<int>(book->sheets().size()); ++s) {
        const engine::CellStore* store = nullptr;
        try {
          store = &book->Cells(s);
        } catch (const engine::BookError&) {
          continue;
        }
        store->ForEach([&](std::uint32_t row, std::uint32_t col, const Variant& v) {
          ++cells;
          ShownValue shown = ShownCell(*book, s, row, col, v);
          std::string joined;
          for (const ShownPiece& p : shown.pieces)
            joined += p.kind == ShownPiece::Kind::Text  ? p.text
                      : p.kind == ShownPiece::Kind::Pad ? PadSpaces(p.text)
                                                        : "";
          if (shown.text != "#") {
            ASSERT_EQ(shown.text, joined) << file << " sheet " << s << " " << row << "," << col;
          }
          if (v.type() == Variant::Type::Number) {
            ASSERT_TRUE(shown.numeric) << file;
            const engine::CellStyle& style = book->Styles().Get(book->Layout(s).StyleOf(row, col));
            numbers_with_format += FormatCodeOf(style) != "General";
          }
        });
      }
    }
  }
  std::cout << "workbooks " << books << ", cells " << cells << ", numbers with a format "
            << numbers_with_format << "\n";
  EXPECT_GT(books, 900u);
  EXPECT_GT(numbers_with_format, 1000u);
}

}  // namespace
}  // namespace ledgerix::print
