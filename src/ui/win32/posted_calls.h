#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "screen/event_loop.h"

namespace marvok::ui::win32 {

// The message and the timer that make the window thread run its posted calls.
inline constexpr UINT kRunPostedCalls = WM_APP + 1;
inline constexpr UINT_PTR kPostedCallsTimer = 1;

// Calls posted from any thread to run on the window thread, in the order
// posted, each on behalf of a target whose destruction drops its calls not
// yet run. Shared by the loop and its targets, so a target may outlive the
// loop and a message may outlive its target.
class PostedCalls : public std::enable_shared_from_this<PostedCalls> {
 public:
  // `window` belongs to the window thread; kRunPostedCalls and the timer
  // kPostedCallsTimer sent to it must call run_some().
  explicit PostedCalls(HWND window) : window_(window) {}

  // Destroy a target on the window thread, as its owner.
  std::unique_ptr<screen::PostTarget> new_target();
  std::uint64_t new_target_id();
  // From any thread.
  void post(std::uint64_t target, std::function<void()> work);
  void drop(std::uint64_t target);

  // On the window thread, at kRunPostedCalls (`at_timer` false) or at the
  // timer: runs a bounded batch of calls. A posted message comes before
  // input, painting and timers, a timer's after them: while one of those
  // waits, the batch and the rest wait for the timer, so that a flood of
  // posts does not freeze the window.
  void run_some(bool at_timer);
  // The window is going: drops every call, and those posted from now on.
  void close();

 private:
  struct Call {
    std::uint64_t target;
    std::function<void()> work;
  };
  std::function<void()> take();
  void continue_later();

  std::mutex mutex_;
  HWND window_;
  std::deque<Call> waiting_;
  // A message or the timer is on its way: one is enough.
  bool scheduled_ = false;
  std::uint64_t last_target_ = 0;
};

}  // namespace marvok::ui::win32
