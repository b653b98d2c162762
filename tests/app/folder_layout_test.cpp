#include "app/folder_layout.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace ledgerix {
namespace {

namespace fs = std::filesystem;
using testing::MemoryStore;
using testing::TempFolder;

TEST(FolderSuffix, SourceAndOutputNamesPerKind) {
  const char* source[] = {"/",
                          "/国税资产负债表（制度版）（源/",
                          "/国税利润表（制度版）（源/",
                          "/国税资产负债表（准则版）（源/",
                          "/国税利润表（准则版）（源/",
                          "/地税资产负债表（源/",
                          "/地税利润表（源/",
                          "/地税资产负债表（小企业）（源/",
                          "/地税利润表（小企业）（源/",
                          "/企业所得税申报表（源/",
                          "/"};
  const char* output[] = {"/",      "/国税/", "/国税/", "/国税/",       "/国税/", "/地税/",
                          "/地税/", "/地税/", "/地税/", "/企业所得税/", "/"};
  for (int kind = 0; kind <= 10; ++kind) {
    EXPECT_EQ(SourceFolderSuffix(kind), source[kind]) << kind;
    EXPECT_EQ(OutputFolderSuffix(kind), output[kind]) << kind;
  }
  EXPECT_EQ(SourceFolderSuffix(-1), "/");
}

TEST(FolderSuffix, ComposedFoldersJoinSettingAndSuffix) {
  const DefaultFolders folders{"/d/报表", "/d/输出"};
  EXPECT_EQ(ComposeSourceFolder(folders, 6), "/d/报表/地税利润表（源/");
  EXPECT_EQ(ComposeSaveFolder(folders, 6), "/d/输出/地税/");
  // A setting chosen at a root keeps its own separator: the paths get a doubled one.
  EXPECT_EQ(ComposeSaveFolder({"", "/"}, 9), "//企业所得税/");
}

TEST(DefaultFolders, AbsentSettingsReadAsEmpty) {
  MemoryStore store;
  const DefaultFolders folders = ReadDefaultFolders(store);
  EXPECT_EQ(folders.source, "");
  EXPECT_EQ(folders.save, "");
  store.values["DefaultSourcePath"] = "/a b";
  store.values["DefaultSavePath"] = "/c";
  EXPECT_EQ(ReadDefaultFolders(store).source, "/a b");
  EXPECT_EQ(ReadDefaultFolders(store).save, "/c");
}

TEST(DefaultFolders, OkStoresTextsUnchangedAndCreatesTheLayout) {
  TempFolder temp;
  fs::create_directory(temp.path() / "源");
  fs::create_directory(temp.path() / "存");
  const std::string source = (temp.path() / "源").string();
  const std::string save = (temp.path() / "存").string() + "/";  // a trailing separator too
  MemoryStore store;
  std::vector<std::string> created = ApplyDefaultFolders(store, {source, save});

  EXPECT_EQ(store.values["DefaultSourcePath"], source);
  EXPECT_EQ(store.values["DefaultSavePath"], save);
  EXPECT_EQ(store.writes, (std::vector<std::string>{"DefaultSourcePath", "DefaultSavePath"}));
  ASSERT_EQ(created.size(), 12u);  // nine source folders, then each authority's once
  EXPECT_EQ(created.front(), source + "/国税资产负债表（制度版）（源/");
  EXPECT_EQ(created[8], source + "/企业所得税申报表（源/");
  EXPECT_EQ(created[9], save + "/国税/");
  EXPECT_EQ(created[11], save + "/企业所得税/");
  EXPECT_TRUE(fs::is_directory(temp.path() / "源" / "地税利润表（小企业）（源"));
  EXPECT_TRUE(fs::is_directory(temp.path() / "存" / "地税"));

  // Confirming again finds everything present and creates nothing new.
  EXPECT_TRUE(ApplyDefaultFolders(store, {source, save}).empty());
}

TEST(DefaultFolders, EmptySettingCreatesNothingAtTheRoot) {
  TempFolder temp;
  MemoryStore store;
  const std::string save = temp.str();
  std::vector<std::string> created = ApplyDefaultFolders(store, {"", save});
  EXPECT_EQ(store.values.at("DefaultSourcePath"), "");
  ASSERT_EQ(created.size(), 3u);
  for (const std::string& f : created) EXPECT_EQ(f.rfind(save, 0), 0u) << f;
  EXPECT_TRUE(CreateFolderLayout("", SourceFolderSuffix).empty());
}

TEST(DefaultFolders, MissingParentOrTakenNameIsSkippedSilently) {
  TempFolder temp;
  testing::Touch(temp.path() / "国税");  // a file where an output folder belongs
  MemoryStore store;
  const std::string missing = (temp.path() / "没有").string();
  std::vector<std::string> created = ApplyDefaultFolders(store, {missing, temp.str()});
  EXPECT_EQ(store.values.at("DefaultSourcePath"), missing);
  EXPECT_FALSE(fs::exists(missing));
  // Only the two authorities whose names are free.
  EXPECT_EQ(created,
            (std::vector<std::string>{temp.str() + "/地税/", temp.str() + "/企业所得税/"}));
  EXPECT_TRUE(fs::is_regular_file(temp.path() / "国税"));
}

}  // namespace
}  // namespace ledgerix
