#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "companion_server.h"
#include "held_key.h"

namespace marvok::talksrv {

// The push-to-talk key, seen whichever window has the focus, through a
// low-level keyboard hook on the calling thread, which must run a message
// loop: the system calls the hook from it. The key is swallowed, so no window
// sees it. A hotkey (RegisterHotKey) would be simpler but reports presses
// only, never the release that ends the talk.
class KeyboardHook {
 public:
  using OnChange = std::function<void(Report)>;

  // Nothing, with the reason in `error`, when the hook cannot be set or
  // another one of this process is set.
  static std::unique_ptr<KeyboardHook> install(std::uint8_t virtual_key, OnChange on_change, std::string& error);
  ~KeyboardHook();
  KeyboardHook(const KeyboardHook&) = delete;
  KeyboardHook& operator=(const KeyboardHook&) = delete;

 private:
  KeyboardHook(std::uint8_t virtual_key, OnChange on_change);
  static LRESULT CALLBACK on_key(int code, WPARAM message, LPARAM data);

  std::uint8_t virtual_key_;
  OnChange on_change_;
  HeldKey key_;
  HHOOK hook_ = nullptr;
};

}  // namespace marvok::talksrv
