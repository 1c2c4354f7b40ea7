#include "platform/instance_lock.h"

#include <windows.h>

#include <utility>

#include "platform/windows/native_handle.h"
#include "platform/windows/wide_text.h"

namespace marvok::platform {

// Without a "Global\" prefix the name lives in the user's desktop session.
std::string instance_lock_path(const std::string& name) { return name; }

InstanceLock::Outcome InstanceLock::acquire(const std::string& name) {
  release();
  const std::wstring wide = to_wide(instance_lock_path(name));
  // Created owned: the mutex exists for as long as a handle to it stays
  // open, so the holder's end (or crash) frees the name.
  HANDLE mutex = CreateMutexW(nullptr, TRUE, wide.c_str());
  if (mutex == nullptr) return Outcome::Failed;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return Outcome::HeldElsewhere;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  return Outcome::Acquired;
}

void InstanceLock::release() {
  if (handle_ == kNoHandle) return;
  HANDLE mutex = native(std::exchange(handle_, kNoHandle));
  // Released by the thread that took it; from another thread the closing
  // alone frees the name.
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

}  // namespace marvok::platform
