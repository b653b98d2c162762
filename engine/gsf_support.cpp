#include "engine/gsf_support.h"

#include <mutex>

namespace ledgerix::engine {

void EnsureGsfInitialized() {
  static std::once_flag once;
  std::call_once(once, [] {
    gsf_init();
    // Damaged files are reported through BookError; libgsf's own console warnings about
    // them would only clutter the command line.
    for (const char* domain : {"libgsf", "libgsf:msole", "libgsf:zip"}) {
      g_log_set_handler(
          domain,
          static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO |
                                      G_LOG_LEVEL_DEBUG | G_LOG_LEVEL_CRITICAL),
          [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    }
  });
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
