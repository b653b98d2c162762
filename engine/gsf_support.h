// libgsf plumbing shared by the container layers: one-time initialisation and owning handles.
#pragma once

#include <gsf/gsf.h>

#include <memory>
#include <string>

namespace ledgerix::engine {

// gsf_init() once per process.
void EnsureGsfInitialized();

struct GObjectUnref {
  void operator()(void* object) const {
    if (object) g_object_unref(object);
  }
};
template <class T>
using GsfPtr = std::unique_ptr<T, GObjectUnref>;

// A GsfInput over bytes the caller keeps alive for the input's lifetime.
GsfPtr<GsfInput> MemoryInput(const std::string& bytes);

// The message of a GError (and frees it); "" for none.
std::string TakeGError(GError* error);

}  // namespace ledgerix::engine
