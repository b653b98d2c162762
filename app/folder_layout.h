// The two default folders and the per-kind folder layout below them, without any GUI toolkit.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/conversion_run.h"

namespace ledgerix {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Names in the per-user settings store.
inline constexpr std::string_view kSettingsVendor = "Ledgerix";
inline constexpr std::string_view kSettingsApp = "Ledgerix";
inline constexpr std::string_view kSettingsSection = "Ledgerix";
inline constexpr std::string_view kDefaultSourcePathName = "DefaultSourcePath";
inline constexpr std::string_view kDefaultSavePathName = "DefaultSavePath";
// Longest text the settings dialog lets the user type, in characters.
inline constexpr std::size_t kMaxSettingLength = 260;

// The source sub-folder of a kind ("/国税利润表（制度版）（源/"); a lone separator outside 1-9.
std::string SourceFolderSuffix(ReportKind kind);
// The output sub-folder of a kind's tax authority ("/国税/"); a lone separator outside 1-9.
std::string OutputFolderSuffix(ReportKind kind);

// The settings section, injectable so the logic is tested without the platform store.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, empty when the value is absent.
  virtual std::string Read(std::string_view name) = 0;
  virtual void Write(std::string_view name, const std::string& value) = 0;
};

struct DefaultFolders {
  std::string source;  // "DefaultSourcePath", as typed
  std::string save;    // "DefaultSavePath", as typed
};

DefaultFolders ReadDefaultFolders(SettingsStore& store);

// Creates setting + suffix(kind) for kinds 1-9, one directory level each, skipping silently
// what cannot be made. An empty setting creates nothing: its folders would land at the root of
// the file system. Returns the folders actually created, in order.
std::vector<std::string> CreateFolderLayout(const std::string& setting,
                                            std::string (*suffix)(ReportKind));

// What the settings dialog's OK does: stores both texts unchanged and creates the source and
// output layouts. Returns the folders created.
std::vector<std::string> ApplyDefaultFolders(SettingsStore& store, const DefaultFolders& folders);

// The folder a dialog opens on: setting + suffix of the kind.
std::string ComposeSourceFolder(const DefaultFolders& folders, ReportKind kind);
std::string ComposeSaveFolder(const DefaultFolders& folders, ReportKind kind);

bool FolderExists(const std::string& folder);
// A path object from UTF-8 text, on every platform.
std::filesystem::path PathFromUtf8(const std::string& text);

}  // namespace ledgerix
