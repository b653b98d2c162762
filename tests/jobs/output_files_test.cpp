// How outputs reach the disk: the order of the calls that make a replacement durable, the
// permissions a replaced file keeps, read-only outputs, temporary files under real signals and
// after a killed run, and listings that never show them.
#include "bridges/output_files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "bridges/companion.h"
#include "tests/convert/test_files.h"

namespace ledgerix {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

// Records every call, then makes it; a named call can be made to fail instead.
std::vector<std::string> calls;
std::string failing;
int Fails() {
  errno = ENOSPC;
  return -1;
}
const FileCalls kRecording = {
    [](const char* p, int f, unsigned m) {
      return calls.push_back("open"), SystemFileCalls().open(p, f, m);
    },
    [](int fd, const void* d, unsigned long n) -> long {
      calls.push_back("write");
      return failing == "write" ? Fails() : SystemFileCalls().write(fd, d, n);
    },
    [](int fd) {
      return calls.push_back("fsync"), failing == "fsync" ? Fails() : SystemFileCalls().fsync(fd);
    },
    [](int fd, unsigned m) { return calls.push_back("fchmod"), SystemFileCalls().fchmod(fd, m); },
    [](int fd) { return calls.push_back("close"), SystemFileCalls().close(fd); },
    [](const char* a, const char* b) {
      return calls.push_back("rename"), SystemFileCalls().rename(a, b);
    },
    [](const char* p) { return calls.push_back("unlink"), SystemFileCalls().unlink(p); },
    [](int fd) { return calls.push_back("syncfs"), SystemFileCalls().syncfs(fd); },
};

class OutputFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    failing.clear();
    SetFileCallsForTesting(&kRecording);
  }
  void TearDown() override { SetFileCallsForTesting(nullptr); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Path(const char* name) const { return (dir.path() / name).string(); }
  TempFolder dir;
};

TEST_F(OutputFiles, AReplacementIsOnDiskBeforeTheRenameANewFileWaitsForTheFolderSync) {
  WriteFileAtomically(Path("new.xml"), "first");
  // A new file has nothing to lose at a power cut: the batch's one syncfs covers it.
  EXPECT_EQ(calls, (std::vector<std::string>{"write", "fchmod", "close", "rename"}));
  calls.clear();
  WriteFileAtomically(Path("new.xml"), "second");
  EXPECT_EQ(calls, (std::vector<std::string>{"write", "fchmod", "fsync", "close", "rename"}));
  EXPECT_EQ(ReadFileBytes(Path("new.xml")), "second");
  calls.clear();
  SyncOutputFolder(dir.path().string());
  EXPECT_EQ(calls, (std::vector<std::string>{"open", "syncfs", "close"}));
  EXPECT_EQ(Names(), std::vector<std::string>{"new.xml"});
}

TEST_F(OutputFiles, AFailedWriteOrFlushLeavesTheOldFileAndNoTemporary) {
  WriteFileBytes(Path("out.xml"), "old");
  for (const char* call : {"write", "fsync"}) {
    failing = call;
    try {
      WriteFileAtomically(Path("out.xml"), "new");
      ADD_FAILURE() << call << " failed but the write succeeded";
    } catch (const AutomationError& e) {
      EXPECT_EQ(std::string(e.what()),
                "无法写入文件《" + Path("out.xml") + "》：磁盘空间不足（No space left on device）");
    }
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "rename"), 0) << call;
    EXPECT_EQ(ReadFileBytes(Path("out.xml")), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"out.xml"}) << call;
    calls.clear();
  }
}

TEST_F(OutputFiles, PermissionsAreKeptAndReadOnlyOutputsAreRefused) {
  WriteFileBytes(Path("kept.xls"), "old");
  fs::permissions(Path("kept.xls"), fs::perms(0640));
  WriteFileAtomically(Path("kept.xls"), "new");
  EXPECT_EQ(fs::status(Path("kept.xls")).permissions(), fs::perms(0640));
  EXPECT_EQ(ReadFileBytes(Path("kept.xls")), "new");

  WriteFileBytes(Path("locked.xls"), "old");
  fs::permissions(Path("locked.xls"), fs::perms(0444));
  try {
    WriteFileAtomically(Path("locked.xls"), "new");
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const AutomationError& e) {
    EXPECT_EQ(std::string(e.what()), "文件《" + Path("locked.xls") + "》是只读的，没有替换它");
  }
  EXPECT_EQ(ReadFileBytes(Path("locked.xls")), "old");
  EXPECT_EQ(fs::status(Path("locked.xls")).permissions(), fs::perms(0444));
  EXPECT_EQ(Names(), (std::vector<std::string>{"kept.xls", "locked.xls"}));

  // A folder that is not there is named with the reason in Chinese and the system's text.
  try {
    WriteFileAtomically(Path("nowhere/out.xml"), "x");
    ADD_FAILURE();
  } catch (const AutomationError& e) {
    EXPECT_EQ(std::string(e.what()), "无法写入文件《" + Path("nowhere/out.xml") +
                                         "》：文件夹不存在（No such file or directory）");
  }
}

TEST_F(OutputFiles, SignalsRemoveTheTemporaryFileAndStillEndTheProcess) {
  SetFileCallsForTesting(nullptr);
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      InstallTemporaryFileCleanup();
      AtomicFile file(Path("big.xls"));
      file.Write(std::string(1 << 20, 'x'));
      (void)!::write(ready[1], "r", 1);
      for (;;) ::pause();
    }
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(Names().size(), 1u);  // the temporary file exists while the child writes
    ::kill(child, signo);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signo) << signo;
    EXPECT_EQ(Names(), std::vector<std::string>{}) << "after signal " << signo;
  }
}

TEST_F(OutputFiles, StaleTemporariesOfOursGoOthersStayAndListingsSkipThem) {
  SetFileCallsForTesting(nullptr);
  const char* ours_old[] = {".ledgerix-a1B2c3", "恒信_2008年03月.xls.Zx9QwE",
                            ".ledgerix-pdf-Qw3rTy"};
  const char* kept[] = {".ledgerix-abc",     // not our pattern
                        ".ledgerix-fresh1",  // from a run still going
                        "report.xls",        // a workbook
                        "notes.txt.Zx9QwE",  // someone else's naming
                        "report.xls.bak"};   // a backup, not ours
  for (const char* name : ours_old) WriteFileBytes(Path(name), "partial");
  for (const char* name : kept) WriteFileBytes(Path(name), "x");
  struct utimbuf old_times = {1000000000, 1000000000};  // 2001
  for (const char* name : ours_old) ASSERT_EQ(::utime(Path(name).c_str(), &old_times), 0);
  for (const char* name : {".ledgerix-abc", "report.xls", "notes.txt.Zx9QwE"}) {
    ASSERT_EQ(::utime(Path(name).c_str(), &old_times), 0);
  }
  EXPECT_EQ(fnAddListItem(dir.folder()),
            (std::vector<std::string>{".ledgerix-abc", "notes.txt.Zx9QwE", "report.xls",
                                      "report.xls.bak"}));
  EXPECT_EQ(fnAddListItemFilter(dir.folder(), "*.*").size(), 4u);
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path().string()), 3);
  EXPECT_EQ(Names(),
            (std::vector<std::string>{".ledgerix-abc", ".ledgerix-fresh1", "notes.txt.Zx9QwE",
                                      "report.xls", "report.xls.bak"}));
}

}  // namespace
}  // namespace ledgerix
