#pragma once

// Finds a window the code under test shows while it holds the thread in a
// modal loop, from a loop timer, which goes on firing there.
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>

#include "ui/win32/win32_event_loop.h"

namespace marvok::ui::win32 {

// Runs `act` once on the top-level window of `window_class` (any when null)
// and `title` as soon as it shows, while the returned timer lives.
inline std::unique_ptr<screen::Timer> when_shown(Win32EventLoop& loop, const wchar_t* window_class,
                                                 const wchar_t* title, std::function<void(HWND)> act) {
  auto acted = std::make_shared<bool>(false);
  return loop.repeat(std::chrono::milliseconds(20), [=] {
    if (*acted) return;
    if (HWND window = FindWindowW(window_class, title)) {
      *acted = true;
      act(window);
    }
  });
}

}  // namespace marvok::ui::win32
