#pragma once

#include <windows.h>

#include <cstdint>

namespace marvok::platform {

// A handle as the system's calls take it: the shared headers keep it as an
// integer, which both systems have.
inline HANDLE native(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace marvok::platform
