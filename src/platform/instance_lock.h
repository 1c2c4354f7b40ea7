#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace marvok::platform {

// A lock held by one process of the user at a time, named like a desktop
// session's mutex. It is released when the holder drops it or ends.
class InstanceLock {
 public:
  enum class Outcome { Acquired, HeldElsewhere, Failed };

  InstanceLock() = default;
  InstanceLock(InstanceLock&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}
  InstanceLock& operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
      release();
      handle_ = std::exchange(other.handle_, kNoHandle);
    }
    return *this;
  }
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock() { release(); }

  // Tries to take the lock `name` (see `instance_lock_path`).
  Outcome acquire(const std::string& name);
  void release();
  bool held() const { return handle_ != kNoHandle; }

 private:
  // A file descriptor or a Windows handle; both systems' "none" is -1.
  using NativeHandle = std::intptr_t;
  static constexpr NativeHandle kNoHandle = -1;
  NativeHandle handle_ = kNoHandle;
};

// Where the lock named `name` lives. Linux: a file in the user's runtime
// directory, or in the temporary directory with the user's id when there is
// none. Windows: the mutex of that name in the desktop session.
std::string instance_lock_path(const std::string& name);

}  // namespace marvok::platform
