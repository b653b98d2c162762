#include "convert/common/converter_messages.h"

namespace ledgerix {
namespace {
thread_local ConverterMessageHandler current_handler;
}  // namespace

void ShowConverterMessage(std::string_view text) {
  if (current_handler) current_handler(text);
}

ScopedConverterMessages::ScopedConverterMessages(ConverterMessageHandler handler)
    : previous_(std::move(current_handler)) {
  current_handler = std::move(handler);
}

ScopedConverterMessages::~ScopedConverterMessages() { current_handler = std::move(previous_); }

}  // namespace ledgerix
