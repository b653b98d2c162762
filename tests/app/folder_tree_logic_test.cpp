#include "app/folder_tree_logic.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace ledgerix {
namespace {

namespace fs = std::filesystem;

TEST(TreeDrives, HomeRootAndMountedVolumes) {
  const char* mounts =
      "/dev/sda1 / ext4 rw 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sdb1 /media/li/U\\040盘 vfat rw 0 0\n"
      "/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
      "tmpfs /run/user/1000 tmpfs rw 0 0\n"
      "/dev/sdd1 /run/media/li/数据 ntfs rw 0 0\n"
      "/dev/sdc1 /mnt/backup ext4 rw 0 0\n";
  std::vector<TreeDrive> drives = ListDrives("/home/li/", mounts);
  std::vector<std::string> paths;
  for (const TreeDrive& d : drives) paths.push_back(d.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"/home/li", "/", "/media/li/U 盘", "/mnt/backup",
                                             "/run/media/li/数据"}));
  EXPECT_EQ(ListDrives("", "").size(), 1u);
}

TEST(TreeDrives, TheDeepestDriveHoldsAFolder) {
  std::vector<TreeDrive> drives = {{"/", "/"}, {"/home/li", "/home/li"}, {"/mnt/b", "/mnt/b"}};
  EXPECT_EQ(DriveHolding(drives, "/home/li/报表/"), 1);
  EXPECT_EQ(DriveHolding(drives, "/home/li"), 1);
  EXPECT_EQ(DriveHolding(drives, "/home/lisa/x"), 0);  // a name prefix is not a parent
  EXPECT_EQ(DriveHolding(drives, "/mnt/b//c"), 2);
  EXPECT_EQ(DriveHolding({{"/home/li", "/home/li"}}, "/etc"), -1);
}

TEST(TreeDrives, PathBelowADrive) {
  EXPECT_EQ(PathBelow("/home/li", "/home/li/a//b/"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(PathBelow("/", "/etc"), (std::vector<std::string>{"etc"}));
  EXPECT_TRUE(PathBelow("/home/li", "/home/li/").empty());
  EXPECT_TRUE(PathBelow("/home/li", "/etc").empty());
  EXPECT_EQ(WithSeparator("/a"), "/a/");
  EXPECT_EQ(WithSeparator("/"), "/");
  EXPECT_EQ(JoinFolder("/", "etc"), "/etc");
}

TEST(TreeFolders, SubFoldersAreVisibleFoldersInListOrder) {
  testing::TempFolder temp;
  for (const char* name : {"b", "A", ".hidden", "国税"}) fs::create_directory(temp.path() / name);
  testing::Touch(temp.path() / "c.xls");
  EXPECT_EQ(ListSubFolders(temp.str()), (std::vector<std::string>{"国税", "A", "b"}));
  EXPECT_TRUE(ListSubFolders(temp.str() + "/none").empty());
}

}  // namespace
}  // namespace ledgerix
