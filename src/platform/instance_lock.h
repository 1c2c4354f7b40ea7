#pragma once

#include <string>

namespace marvok::platform {

// A lock held by one process of the user at a time, named like a desktop
// session's mutex. It is released when the holder drops it or ends.
class InstanceLock {
 public:
  enum class Outcome { Acquired, HeldElsewhere, Failed };

  InstanceLock() = default;
  InstanceLock(InstanceLock&& other) noexcept;
  InstanceLock& operator=(InstanceLock&& other) noexcept;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock() { release(); }

  // Tries to take the lock `name` in the user's runtime directory.
  Outcome acquire(const std::string& name);
  void release();
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Where the lock named `name` lives: the user's runtime directory, or the
// temporary directory with the user's id when there is none.
std::string instance_lock_path(const std::string& name);

}  // namespace marvok::platform
