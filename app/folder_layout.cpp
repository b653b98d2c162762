#include "app/folder_layout.h"

#include <filesystem>
#include <system_error>

namespace ledgerix {
namespace {

// Suffix names written with "/" and turned into the platform's separator once.
std::string Native(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '/') c = kPathSeparator;
  }
  return out;
}

}  // namespace

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string SourceFolderSuffix(ReportKind kind) {
  // The parenthesis opened before 源 is never closed: these are the folder names users have.
  switch (kind) {
    case 1:
      return Native("/国税资产负债表（制度版）（源/");
    case 2:
      return Native("/国税利润表（制度版）（源/");
    case 3:
      return Native("/国税资产负债表（准则版）（源/");
    case 4:
      return Native("/国税利润表（准则版）（源/");
    case 5:
      return Native("/地税资产负债表（源/");
    case 6:
      return Native("/地税利润表（源/");
    case 7:
      return Native("/地税资产负债表（小企业）（源/");
    case 8:
      return Native("/地税利润表（小企业）（源/");
    case 9:
      return Native("/企业所得税申报表（源/");
    default:
      return Native("/");
  }
}

std::string OutputFolderSuffix(ReportKind kind) {
  if (kind >= 1 && kind <= 4) return Native("/国税/");
  if (kind >= 5 && kind <= 8) return Native("/地税/");
  if (kind == 9) return Native("/企业所得税/");
  return Native("/");
}

DefaultFolders ReadDefaultFolders(SettingsStore& store) {
  return {store.Read(kDefaultSourcePathName), store.Read(kDefaultSavePathName)};
}

std::vector<std::string> CreateFolderLayout(const std::string& setting,
                                            std::string (*suffix)(ReportKind)) {
  std::vector<std::string> created;
  if (setting.empty()) return created;
  for (ReportKind kind = 1; kind <= 9; ++kind) {
    const std::string folder = setting + suffix(kind);
    std::error_code ec;
    // One level only: a missing parent makes this fail, which is skipped like any other.
    if (std::filesystem::create_directory(PathFromUtf8(folder), ec) && !ec) {
      created.push_back(folder);
    }
  }
  return created;
}

std::vector<std::string> ApplyDefaultFolders(SettingsStore& store, const DefaultFolders& folders) {
  store.Write(kDefaultSourcePathName, folders.source);
  std::vector<std::string> created = CreateFolderLayout(folders.source, SourceFolderSuffix);
  store.Write(kDefaultSavePathName, folders.save);
  for (std::string& f : CreateFolderLayout(folders.save, OutputFolderSuffix)) {
    created.push_back(std::move(f));
  }
  return created;
}

std::string ComposeSourceFolder(const DefaultFolders& folders, ReportKind kind) {
  return folders.source + SourceFolderSuffix(kind);
}

std::string ComposeSaveFolder(const DefaultFolders& folders, ReportKind kind) {
  return folders.save + OutputFolderSuffix(kind);
}

bool FolderExists(const std::string& folder) {
  std::error_code ec;
  return !folder.empty() && std::filesystem::is_directory(PathFromUtf8(folder), ec);
}

}  // namespace ledgerix
