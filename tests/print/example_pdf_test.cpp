// Our PDF of each bundled example's active sheet against LibreOffice's (recorded by
// scripts/lo_pdf_reference.py): the same pages, page sizes within 1 pt, and the same text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/book.h"
#include "print/render.h"
#include "tests/print/pdf_tools.h"

namespace ledgerix::print {
namespace {

namespace fs = std::filesystem;

struct LoPage {
  double width = 0, height = 0;
  std::string words;
};

std::map<std::string, std::vector<LoPage>> LoPdfs() {
  std::map<std::string, std::vector<LoPage>> out;
  std::ifstream in(std::string(LEDGERIX_TEST_DATA) + "/print/lo_example_pdfs.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string name, number, w, h, words;
    std::getline(f, name, '\t');
    std::getline(f, number, '\t');
    std::getline(f, w, '\t');
    std::getline(f, h, '\t');
    std::getline(f, words);
    out[name].push_back({std::stod(w), std::stod(h), words});
  }
  return out;
}

std::multiset<std::string> Words(const std::string& text) {
  std::multiset<std::string> words;
  std::istringstream in(text);
  std::string w;
  while (in >> w) words.insert(w);
  return words;
}

// The page's characters without white space, as UTF-8 sequences.
std::multiset<std::string> Characters(const std::string& text) {
  std::multiset<std::string> chars;
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    std::string ch = text.substr(i, n);
    if (ch != " " && ch != "\n" && ch != "\t") chars.insert(ch);
    i += n;
  }
  return chars;
}

template <typename T>
std::size_t Difference(const std::multiset<T>& a, const std::multiset<T>& b, std::string* shown) {
  std::vector<T> only_a, only_b;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(only_a));
  std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(only_b));
  if (shown) {
    for (const T& x : only_a) *shown += " +" + x;
    for (const T& x : only_b) *shown += " -" + x;
  }
  return only_a.size() + only_b.size();
}

TEST(ExamplePdfs, SamePagesSizesAndTextAsLibreOffice) {
  auto lo = LoPdfs();
  ASSERT_EQ(lo.size(), 12u) << "lo_example_pdfs.txt is missing or incomplete";
  std::string tmp = (fs::temp_directory_path() / "ledgerix-example-pdf-XXXXXX");
  ASSERT_NE(::mkdtemp(tmp.data()), nullptr);
  std::size_t same_words = 0, pages_total = 0;
  for (const auto& entry :
       fs::recursive_directory_iterator(std::string(LEDGERIX_SOURCE_DIR) + "/examples")) {
    std::string name = entry.path().filename().string();
    if (!lo.count(name)) continue;
    SCOPED_TRACE(name);
    std::unique_ptr<engine::Book> book = engine::OpenBook(entry.path().string());
    RenderOptions options;
    options.file_name = name;
    options.now = [] { return std::time_t{1207000000}; };
    std::string pdf = tmp + "/out.pdf";
    int pages = RenderPdf({{book.get(), book->active_sheet()}}, pdf, options);
    const std::vector<LoPage>& theirs = lo.at(name);
    ASSERT_EQ(pages, static_cast<int>(theirs.size()));
    auto sizes = testing::PageSizes(pdf);
    auto texts = testing::PageTexts(pdf);
    ASSERT_EQ(sizes.size(), theirs.size()) << "pdfinfo gave nothing back";
    ASSERT_EQ(texts.size(), theirs.size()) << "pdftotext gave nothing back";
    for (std::size_t i = 0; i < theirs.size(); ++i) {
      EXPECT_NEAR(sizes[i].first, theirs[i].width, 1.0);
      EXPECT_NEAR(sizes[i].second, theirs[i].height, 1.0);
      std::string words, chars;
      ++pages_total;
      if (Difference(Words(texts[i]), Words(theirs[i].words), &words) == 0) ++same_words;
      // Glyph widths differ between the two renderers' fonts, so a character on a cell's
      // clipped edge may be kept by one and dropped by the other; nothing else may differ.
      EXPECT_LE(Difference(Characters(texts[i]), Characters(theirs[i].words), &chars), 2u)
          << "page " << i + 1 << ":" << chars << "\n words:" << words;
      if (!words.empty())
        std::cout << name << " page " << i + 1 << " words differ:" << words << "\n";
    }
  }
  std::cout << same_words << " of " << pages_total
            << " pages have the same words as LibreOffice's\n";
  EXPECT_EQ(pages_total, 12u);
  // LibreOffice counts column widths in its unrounded digit width, so its columns are about 6%
  // wider: a text clipped by its neighbour would lose other characters there. The examples give
  // such texts room or shrink them, so every word must be the same.
  EXPECT_EQ(same_words, 12u);
  fs::remove_all(tmp);
}

}  // namespace
}  // namespace ledgerix::print
