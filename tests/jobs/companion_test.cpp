#include "bridges/companion.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ledgerix
