// Passwords for encrypted workbooks. Workbooks.Open takes the path alone, so whoever starts a
// batch (the command line, the desktop program) tells the server here which passwords to try
// after the default one, and how to ask the user for one more.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ledgerix {

// The password the spreadsheet application itself saves protected workbooks with; every
// encrypted workbook is tried with it first.
inline constexpr std::string_view kDefaultWorkbookPassword = "VelvetSweatshop";

struct WorkbookPasswords {
  // Tried in order after the default password (UTF-8).
  std::vector<std::string> known;
  // Asked once for a file that neither the default nor a known password opens; the path is
  // the file's. nullopt when the user declined (skipped the file).
  std::function<std::optional<std::string>(const std::string& path)> ask;
};

// The passwords in force; empty unless a ScopedWorkbookPasswords is alive.
WorkbookPasswords CurrentWorkbookPasswords();

// Puts passwords in force for its lifetime, then restores the previous ones. Nothing is kept
// after it ends: passwords are never stored.
class ScopedWorkbookPasswords {
 public:
  explicit ScopedWorkbookPasswords(WorkbookPasswords passwords);
  ~ScopedWorkbookPasswords();
  ScopedWorkbookPasswords(const ScopedWorkbookPasswords&) = delete;
  ScopedWorkbookPasswords& operator=(const ScopedWorkbookPasswords&) = delete;

 private:
  WorkbookPasswords previous_;
};

}  // namespace ledgerix
