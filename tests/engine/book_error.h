// The reader's refusal as the user reads it, for tests that assert the wording.
#pragma once

#include <functional>
#include <string>

#include "engine/book.h"

namespace ledgerix::engine::testing {

// what() of the BookError fn throws, or "(no error)".
inline std::string ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const BookError& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace ledgerix::engine::testing
