#pragma once

#include <cstdint>

namespace marvok::platform {

// The system's own handle of a socket: a file descriptor on Linux, where the
// relay server watches it with epoll; an unsigned handle on Windows.
#ifdef _WIN32
using NativeSocket = std::uintptr_t;
inline constexpr NativeSocket kNoSocket = ~NativeSocket{0};
#else
using NativeSocket = int;
inline constexpr NativeSocket kNoSocket = -1;
#endif

}  // namespace marvok::platform
