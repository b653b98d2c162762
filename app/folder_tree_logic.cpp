#include "app/folder_tree_logic.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "app/folder_layout.h"
#include "bridges/companion.h"

namespace ledgerix {
namespace {

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '/' || c == kPathSeparator) {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

// /proc/self/mounts escapes blanks and a few others as \ooo.
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      int value = 0;
      bool octal = true;
      for (std::size_t k = 1; k <= 3; ++k) {
        char d = field[i + k];
        if (d < '0' || d > '7') octal = false;
        value = value * 8 + (d - '0');
      }
      if (octal) {
        out.push_back(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

bool StartsWithFolder(const std::string& path, std::string_view prefix) {
  return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
         path[prefix.size()] == '/';
}

}  // namespace

std::vector<TreeDrive> ListDrives(const std::string& homeFolder, std::string_view mountsText) {
  std::vector<TreeDrive> drives;
  // The home folder first: that is where a user's workbooks are.
  std::vector<std::string> home = Components(homeFolder);
  if (!home.empty()) {
    std::string path;
    for (const std::string& c : home) path += "/" + c;
    drives.push_back({path, path});
  }
  drives.push_back({"/", "/"});
  std::vector<std::string> volumes;
  std::istringstream lines{std::string(mountsText)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint;
    if (!(fields >> device >> mountPoint)) continue;
    mountPoint = UnescapeMountField(mountPoint);
    if (StartsWithFolder(mountPoint, "/media") || StartsWithFolder(mountPoint, "/mnt") ||
        StartsWithFolder(mountPoint, "/run/media")) {
      volumes.push_back(mountPoint);
    }
  }
  std::sort(volumes.begin(), volumes.end(), FileNameLess);
  volumes.erase(std::unique(volumes.begin(), volumes.end()), volumes.end());
  for (std::string& v : volumes) drives.push_back({v, v});
  return drives;
}

std::vector<TreeDrive> MachineDrives() {
  std::ifstream mounts("/proc/self/mounts");
  std::stringstream text;
  text << mounts.rdbuf();
  const char* home = std::getenv("HOME");
  return ListDrives(home ? home : "", text.str());
}

std::vector<std::string> ListSubFolders(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(PathFromUtf8(folder), ec), end;
  if (ec) return names;
  for (; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code typeError;
    if (!it->is_directory(typeError) || typeError) continue;
    std::u8string name = it->path().filename().u8string();
    if (name.empty() || name.front() == u8'.') continue;
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end(), FileNameLess);
  return names;
}

int DriveHolding(const std::vector<TreeDrive>& drives, const std::string& folder) {
  const std::vector<std::string> target = Components(folder);
  int best = -1;
  std::size_t bestDepth = 0;
  for (std::size_t i = 0; i < drives.size(); ++i) {
    const std::vector<std::string> drive = Components(drives[i].path);
    if (drive.size() > target.size()) continue;
    if (!std::equal(drive.begin(), drive.end(), target.begin())) continue;
    if (best < 0 || drive.size() > bestDepth) {
      best = static_cast<int>(i);
      bestDepth = drive.size();
    }
  }
  return best;
}

std::vector<std::string> PathBelow(const std::string& base, const std::string& folder) {
  const std::vector<std::string> b = Components(base);
  std::vector<std::string> f = Components(folder);
  if (b.size() > f.size() || !std::equal(b.begin(), b.end(), f.begin())) return {};
  return std::vector<std::string>(f.begin() + static_cast<std::ptrdiff_t>(b.size()), f.end());
}

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != kPathSeparator) folder.push_back(kPathSeparator);
  return folder;
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
  return WithSeparator(folder) + name;
}

}  // namespace ledgerix
