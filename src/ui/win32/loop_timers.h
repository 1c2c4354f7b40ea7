#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include "screen/event_loop.h"

namespace marvok::ui::win32 {

// The loop's timers: SetTimer on its message-only window, so that they go
// on firing inside every modal loop of the thread. Window thread only.
class LoopTimers : public std::enable_shared_from_this<LoopTimers> {
 public:
  // Ids from here on; those below are the loop's own.
  static constexpr UINT_PTR kFirstId = 16;

  explicit LoopTimers(HWND window) : window_(window) {}

  // The timer stops when the handle is destroyed, also from its own tick,
  // and may outlive the table.
  std::unique_ptr<screen::Timer> start(std::chrono::milliseconds period, std::function<void()> tick, bool once);
  // At WM_TIMER for `id`.
  void fire(UINT_PTR id);
  void stop(UINT_PTR id);

 private:
  struct Entry {
    // Shared with a tick in progress, which may destroy the timer.
    std::shared_ptr<std::function<void()>> tick;
    bool once;
  };

  HWND window_;
  UINT_PTR next_id_ = kFirstId;
  std::map<UINT_PTR, Entry> entries_;
};

}  // namespace marvok::ui::win32
