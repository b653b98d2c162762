// Running outside programs (LibreOffice, Python readers) from the tests. They take their locale
// from the environment, and under the POSIX locale LibreOffice cannot encode Chinese file names:
// it writes nothing and still exits 0. So every command runs under C.UTF-8 whatever the shell
// that started ctest had, and a tool that reports success without its output is an error that
// says so.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace ledgerix::testing {

inline std::string InUtf8Locale(const std::string& command) {
  return "export LC_ALL=C.UTF-8 LANG=C.UTF-8; unset LANGUAGE; " + command;
}

// The exit status of `command` run by the shell under C.UTF-8; -1 when it did not exit.
inline int RunTool(const std::string& command) {
  int raw = std::system(InUtf8Locale(command).c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// popen() under C.UTF-8.
inline FILE* OpenToolPipe(const std::string& command) {
  return ::popen(InUtf8Locale(command).c_str(), "r");
}

// Every file a tool was asked to write exists and is not empty.
inline ::testing::AssertionResult ToolWrote(const std::string& tool,
                                            const std::vector<std::filesystem::path>& outputs) {
  for (const auto& p : outputs) {
    std::error_code ec;
    if (!std::filesystem::exists(p, ec) || std::filesystem::file_size(p, ec) == 0 || ec) {
      return ::testing::AssertionFailure()
             << tool << " reported success but did not write " << p
             << " (an outside tool writes nothing it cannot name in its locale)";
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace ledgerix::testing
