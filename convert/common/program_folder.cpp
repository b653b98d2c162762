#include "convert/common/program_folder.h"

#include <filesystem>
#include <system_error>

namespace ledgerix {
namespace {
std::string& Folder() {
  static std::string folder;
  return folder;
}
}  // namespace

const std::string& ProgramFolder() { return Folder(); }

void SetProgramFolder(std::string folder) { Folder() = std::move(folder); }

std::string ExecutableFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace ledgerix
