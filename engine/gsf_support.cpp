#include "engine/gsf_support.h"

#include <mutex>

namespace ledgerix::engine {

void EnsureGsfInitialized() {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
}

GsfPtr<GsfInput> MemoryInput(const std::string& bytes) {
  EnsureGsfInitialized();
  return GsfPtr<GsfInput>(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                               static_cast<gsf_off_t>(bytes.size()), FALSE));
}

std::string TakeGError(GError* error) {
  if (!error) return {};
  std::string message = error->message ? error->message : "";
  g_error_free(error);
  return message;
}

}  // namespace ledgerix::engine
