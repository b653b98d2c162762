// What the folder trees show, without any GUI toolkit: the drives and the sub-folders of a
// folder, and where a folder lies below a drive.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ledgerix {

struct TreeDrive {
  std::string label;  // what the tree shows
  std::string path;   // the folder, without a trailing separator unless it is the root
};

// The drives of this machine: the user's home folder, the file-system root and the volumes
// mounted below /media, /mnt and /run/media (from mountsText, in /proc/self/mounts form), in
// that order.
std::vector<TreeDrive> ListDrives(const std::string& homeFolder, std::string_view mountsText);
// ListDrives for this process.
std::vector<TreeDrive> MachineDrives();

// The visible sub-folders of folder (names, no dot-folders) in FileNameLess order; empty when
// the folder cannot be read.
std::vector<std::string> ListSubFolders(const std::string& folder);

// The drive folder holds folder: the longest drive path that is folder itself or one of its
// ancestors. Returns its index, or -1.
int DriveHolding(const std::vector<TreeDrive>& drives, const std::string& folder);

// The folder names leading from base down to folder ("/a", "/a/b/c/" -> {"b", "c"}); empty when
// folder is base. Repeated separators are ignored.
std::vector<std::string> PathBelow(const std::string& base, const std::string& folder);

// folder + a separator when it lacks one.
std::string WithSeparator(std::string folder);
// folder joined with one more name.
std::string JoinFolder(const std::string& folder, const std::string& name);

}  // namespace ledgerix
