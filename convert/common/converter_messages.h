// Messages a converter shows itself (a missing template): converters have no message sink of
// their own, so the conversion run installs a handler for the length of the run.
#pragma once

#include <functional>
#include <string_view>

namespace ledgerix {

using ConverterMessageHandler = std::function<void(std::string_view text)>;

// Shows text with an exclamation icon through the installed handler (dropped when none).
void ShowConverterMessage(std::string_view text);

// Installs a handler for its lifetime, restoring the previous one after.
class ScopedConverterMessages {
 public:
  explicit ScopedConverterMessages(ConverterMessageHandler handler);
  ~ScopedConverterMessages();
  ScopedConverterMessages(const ScopedConverterMessages&) = delete;
  ScopedConverterMessages& operator=(const ScopedConverterMessages&) = delete;

 private:
  ConverterMessageHandler previous_;
};

}  // namespace ledgerix
