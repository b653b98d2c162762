#include "bridges/output_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

namespace ledgerix {
namespace {

int SysOpen(const char* path, int flags, unsigned mode) {
  return ::open(path, flags, static_cast<mode_t>(mode));
}
long SysWrite(int fd, const void* data, unsigned long size) { return ::write(fd, data, size); }
int SysFchmod(int fd, unsigned mode) { return ::fchmod(fd, static_cast<mode_t>(mode)); }

const FileCalls kSystemCalls = {&SysOpen, &SysWrite, &::fsync,  &SysFchmod,
                                &::close, &::rename, &::unlink, &::syncfs};
const FileCalls* current_calls = &kSystemCalls;

// Temporary paths a signal handler may have to remove: fixed slots, no allocation, so the
// handler touches nothing but these bytes and unlink.
constexpr int kSlots = 16;
char slot_paths[kSlots][PATH_MAX];
std::atomic<bool> slot_claimed[kSlots];
std::atomic<bool> slot_ready[kSlots];  // the path is complete and the handler may remove it

int Register(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (!slot_claimed[i].compare_exchange_strong(expected, true)) continue;
    std::memcpy(slot_paths[i], path.c_str(), path.size() + 1);
    slot_ready[i].store(true);
    return i;
  }
  return -1;
}
void Unregister(int slot) {
  if (slot < 0) return;
  slot_ready[slot].store(false);
  slot_claimed[slot].store(false);
}

const std::time_t process_start = std::time(nullptr);

extern "C" void RemoveTemporariesAndReraise(int signo) {
  for (int i = 0; i < kSlots; ++i) {
    if (slot_ready[i].load()) ::unlink(slot_paths[i]);
  }
  ::signal(signo, SIG_DFL);
  ::raise(signo);
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

[[noreturn]] void Fail(std::string_view what, const std::string& path, int error) {
  throw AutomationError(FileErrorMessage(what, path, error));
}

const char* ChineseReason(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "没有权限";
    case ENOSPC:
      return "磁盘空间不足";
    case EDQUOT:
      return "超出磁盘配额";
    case ENAMETOOLONG:
      return "文件名过长";
    case ENOENT:
      return "文件夹不存在";
    case ENOTDIR:
      return "路径中有一项不是文件夹";
    case EROFS:
      return "文件系统是只读的";
    case EIO:
      return "读写设备出错";
    case EISDIR:
      return "同名的文件夹已存在";
    default:
      return nullptr;
  }
}

}  // namespace

const FileCalls& SystemFileCalls() { return kSystemCalls; }
void SetFileCallsForTesting(const FileCalls* calls) {
  current_calls = calls ? calls : &kSystemCalls;
}

std::string FileErrorMessage(std::string_view what, const std::string& path, int error) {
  std::string text = std::string(what) + "《" + path + "》";
  if (const char* reason = ChineseReason(error)) text += std::string("：") + reason;
  return text + "（" + std::strerror(error) + "）";
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  struct stat existing;
  if (::stat(path_.c_str(), &existing) == 0) {
    if (!S_ISREG(existing.st_mode)) Fail("无法写入文件", path_, EISDIR);
    // Replacing a read-only file by rename would succeed and silently drop its protection.
    if (::access(path_.c_str(), W_OK) != 0 || (existing.st_mode & 0222) == 0) {
      throw AutomationError("文件《" + path_ + "》是只读的，没有替换它");
    }
    replaces_ = true;
    mode_ = existing.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode_ = 0666 & ~mask;
  }
  temp_ = FolderOf(path_) + "/.ledgerix-XXXXXX";
  // mkstemp has no replaceable form; the recorded calls start at the first write.
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) Fail("无法写入文件", path_, errno);
  slot_ = Register(temp_);
}

AtomicFile::~AtomicFile() { Abandon(); }

void AtomicFile::Abandon() {
  if (fd_ >= 0) {
    current_calls->close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    current_calls->unlink(temp_.c_str());
    temp_.clear();
  }
  Unregister(slot_);
  slot_ = -1;
}

void AtomicFile::Write(std::string_view bytes) {
  if (fd_ < 0) Fail("无法写入文件", path_, EBADF);
  std::size_t done = 0;
  while (done < bytes.size()) {
    long n = current_calls->write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      Abandon();
      Fail("无法写入文件", path_, e);
    }
    done += static_cast<std::size_t>(n);
  }
}

void AtomicFile::Commit() {
  if (fd_ < 0) Fail("无法写入文件", path_, EBADF);
  auto check = [&](int rc) {
    if (rc != 0) {
      int e = errno;
      Abandon();
      Fail("无法写入文件", path_, e);
    }
  };
  check(current_calls->fchmod(fd_, mode_));
  // The old file may only go once the new one's data is on disk.
  if (replaces_) check(current_calls->fsync(fd_));
  int fd = fd_;
  fd_ = -1;
  check(current_calls->close(fd));
  if (current_calls->rename(temp_.c_str(), path_.c_str()) != 0) {
    int e = errno;
    Abandon();
    Fail("无法保存文件", path_, e);
  }
  temp_.clear();
  Unregister(slot_);
  slot_ = -1;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFile file(path);
  file.Write(bytes);
  file.Commit();
}

void SyncOutputFolder(const std::string& folder) {
  int fd = current_calls->open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) Fail("无法打开文件夹", folder, errno);
  if (current_calls->syncfs(fd) != 0) {
    int e = errno;
    current_calls->close(fd);
    Fail("无法把文件写入磁盘", folder, e);
  }
  current_calls->close(fd);
}

OutputLock::OutputLock(const std::string& target) {
  const std::string folder = FolderOf(target);
  fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) Fail("无法打开文件夹", folder, errno);
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    int e = errno;
    ::close(fd_);
    Fail("无法锁定文件", target, e);
  }
}

OutputLock::~OutputLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

void InstallTemporaryFileCleanup() {
  struct sigaction action {};
  action.sa_handler = &RemoveTemporariesAndReraise;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    // A signal the caller chose to ignore stays ignored.
    if (::sigaction(signo, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signo, &action, nullptr);
  }
}

bool IsOurTemporaryFileName(std::string_view name) {
  auto random_suffix = [](std::string_view s) {
    if (s.size() != 6) return false;
    for (char c : s) {
      bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (!ok) return false;
    }
    return true;
  };
  constexpr std::string_view kOurs = ".ledgerix-", kPdf = ".ledgerix-pdf-";
  if (name.substr(0, kPdf.size()) == kPdf) return random_suffix(name.substr(kPdf.size()));
  if (name.substr(0, kOurs.size()) == kOurs) return random_suffix(name.substr(kOurs.size()));
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < 4) return false;
  std::string_view before = name.substr(0, dot);
  bool workbook = before.size() > 4 && (before.substr(before.size() - 4) == ".xls");
  return workbook && random_suffix(name.substr(dot + 1));
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
  // Whole seconds: a file from the very second this process started is left for the next run.
  const std::time_t started = process_start;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (dirent* entry = ::readdir(dir)) {
    if (!IsOurTemporaryFileName(entry->d_name)) continue;
    struct stat st;
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_mtime >= started) continue;
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace ledgerix
