// How every output reaches the disk: written beside its final name, flushed, renamed into
// place; filing workbooks opened, filled and saved under a lock across processes; temporary
// files never left behind by an interrupted run.
#pragma once

#include <string>
#include <string_view>

#include "bridges/spreadsheet.h"

namespace ledgerix {

// The system calls an output goes through, replaceable so tests can record their order.
struct FileCalls {
  int (*open)(const char* path, int flags, unsigned mode);
  long (*write)(int fd, const void* data, unsigned long size);
  int (*fsync)(int fd);
  int (*fchmod)(int fd, unsigned mode);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
  int (*syncfs)(int fd);
};
const FileCalls& SystemFileCalls();
// Tests only; nullptr restores the system calls.
void SetFileCallsForTesting(const FileCalls* calls);

// "无法写入文件《/a/b.xml》（权限不够）" style messages: what failed, the file, the system's text.
std::string FileErrorMessage(std::string_view what, const std::string& path, int error);

// A file being written under a temporary name (".ledgerix-XXXXXX" in the target's folder)
// and renamed over the target by Commit. An existing target keeps its permissions; a
// read-only one is refused. Before replacing an existing file the data is flushed, so a
// power cut leaves the old file or the new one, never an empty one. New files are made
// durable by SyncOutputFolder at the end of a batch. Throws AutomationError.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path);
  ~AtomicFile();  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void Write(std::string_view bytes);
  void Commit();
  const std::string& path() const { return path_; }

 private:
  void Abandon();
  std::string path_;
  std::string temp_;
  int fd_ = -1;
  unsigned mode_ = 0;
  bool replaces_ = false;
  int slot_ = -1;
};

void WriteFileAtomically(const std::string& path, std::string_view bytes);

// Flushes the file system holding folder; a batch calls it once before reporting success.
void SyncOutputFolder(const std::string& folder);

// An exclusive advisory lock (flock) on the folder that holds target, held for the object's
// lifetime: no lock file is left in the save folder. Blocks until other processes holding it
// let go. Throws AutomationError when the folder cannot be opened.
class OutputLock {
 public:
  explicit OutputLock(const std::string& target);
  ~OutputLock();
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;

 private:
  int fd_ = -1;
};

// Removes the temporary files in the registry when SIGINT, SIGTERM or SIGHUP arrives, then
// lets the signal end the process as it would have. Call once at start.
void InstallTemporaryFileCleanup();
// True for names only our outputs use for their temporary files: ".ledgerix-XXXXXX",
// ".ledgerix-pdf-XXXXXX" (printing to PDF) and, from earlier versions, "<name>.xls.XXXXXX".
bool IsOurTemporaryFileName(std::string_view name);
// Deletes our temporary files in folder last changed before this process started: what a
// killed run left behind. Returns how many were removed.
int RemoveStaleTemporaryFiles(const std::string& folder);

}  // namespace ledgerix
