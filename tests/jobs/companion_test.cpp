#include "bridges/companion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>

#include "tests/convert/test_files.h"

namespace ledgerix {
namespace {

TEST(FileLists, FilterMatchesWholeNameIgnoringCase) {
  testing::TempFolder dir;
  for (const char* name : {"BOOK.XLS", "book.xlsx", "b.xls", "Aa.xls", "c.xls.bak", "报表.xls"}) {
    testing::WriteFileBytes(dir.path() / name, "x");
  }
  std::filesystem::create_directory(dir.path() / "folder.xls");  // folders are not listed
  EXPECT_EQ(fnAddListItemFilter(dir.folder(), fnGetTransFileType(0)),
            (std::vector<std::string>{"报表.xls", "Aa.xls", "b.xls", "BOOK.XLS"}));
  EXPECT_EQ(fnAddListItemFilter(dir.folder(), fnGetTransFileType(1)),
            (std::vector<std::string>{"book.xlsx"}));
  EXPECT_EQ(fnAddListItem(dir.folder()).size(), 6u);
  EXPECT_TRUE(fnAddListItem(dir.folder() + "missing/").empty());
}

TEST(FileLists, OneTotalOrder) {
  EXPECT_TRUE(FileNameLess("a.xls", "B.xls"));
  EXPECT_TRUE(FileNameLess("B.xls", "c.xls"));
  EXPECT_TRUE(FileNameLess("B.xls", "b.xls"));  // ties by exact code points
  EXPECT_FALSE(FileNameLess("b.xls", "B.xls"));
  EXPECT_TRUE(FileNameLess("资.xls", "z.xls"));  // Chinese names before Latin ones
  EXPECT_TRUE(WildcardMatch("?*.X*", "a.xlsx"));
  EXPECT_FALSE(WildcardMatch("*.xls", "a.xlsx"));
  EXPECT_TRUE(WildcardMatch("资产*.xls", "资产负债表.XLS"));
}

TEST(FileLists, ChineseCollationWhateverTheProcessLocale) {
  // As a file manager under a Chinese desktop shows them: digits first, then Han characters by
  // pinyin (阿 a, 北 bei, 重 chong, 地 di, 国 guo, 资 zi), then Latin letters, case and accents
  // counting only between names that are otherwise equal.
  const std::vector<std::string> expected = {"2023年.xls", "阿里.xls", "北京.xls", "重庆.xls",
                                             "地税.xls",   "国税.xls", "资产.xls", "a.xls",
                                             "B.xls",      "b.xls",    "báo.xls",  "z.xls"};
  for (const char* locale : {"C", "C.UTF-8"}) {
    std::setlocale(LC_ALL, locale);
    std::vector<std::string> names(expected.rbegin(), expected.rend());
    std::sort(names.begin(), names.end(), FileNameLess);
    EXPECT_EQ(names, expected) << "under " << locale;
  }
  std::setlocale(LC_ALL, "C");
  // A strict weak order over names that collation alone finds equal.
  for (const std::string& a : expected) {
    EXPECT_FALSE(FileNameLess(a, a)) << a;
    for (const std::string& b : expected) {
      if (a == b) continue;
      EXPECT_NE(FileNameLess(a, b), FileNameLess(b, a)) << a << " " << b;
    }
  }
}

}  // namespace
}  // namespace ledgerix
