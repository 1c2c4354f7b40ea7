#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace marvok::platform {

std::string instance_lock_path(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  if (runtime && *runtime && ::stat(runtime, &info) == 0 && S_ISDIR(info.st_mode))
    return std::string(runtime) + "/" + name + ".lock";
  return "/tmp/" + name + "-" + std::to_string(::getuid()) + ".lock";
}

InstanceLock::Outcome InstanceLock::acquire(const std::string& name) {
  release();
  const int fd = ::open(instance_lock_path(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Outcome::Failed;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Failed;
  }
  handle_ = fd;
  return Outcome::Acquired;
}

void InstanceLock::release() {
  if (handle_ == kNoHandle) return;
  const int fd = static_cast<int>(std::exchange(handle_, kNoHandle));
  ::flock(fd, LOCK_UN);
  ::close(fd);
}

}  // namespace marvok::platform
