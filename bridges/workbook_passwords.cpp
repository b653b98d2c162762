#include "bridges/workbook_passwords.h"

#include <mutex>

namespace ledgerix {
namespace {

std::mutex& PasswordMutex() {
  static std::mutex m;
  return m;
}
WorkbookPasswords& InForce() {
  static WorkbookPasswords passwords;
  return passwords;
}

}  // namespace

WorkbookPasswords CurrentWorkbookPasswords() {
  std::lock_guard<std::mutex> lock(PasswordMutex());
  return InForce();
}

ScopedWorkbookPasswords::ScopedWorkbookPasswords(WorkbookPasswords passwords) {
  std::lock_guard<std::mutex> lock(PasswordMutex());
  previous_ = std::move(InForce());
  InForce() = std::move(passwords);
}

ScopedWorkbookPasswords::~ScopedWorkbookPasswords() {
  std::lock_guard<std::mutex> lock(PasswordMutex());
  InForce() = std::move(previous_);
}

}  // namespace ledgerix
