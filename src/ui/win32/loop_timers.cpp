#include "ui/win32/loop_timers.h"

#include <algorithm>
#include <utility>

namespace marvok::ui::win32 {

namespace {

class Handle final : public screen::Timer {
 public:
  Handle(std::weak_ptr<LoopTimers> timers, UINT_PTR id) : timers_(std::move(timers)), id_(id) {}
  ~Handle() override {
    if (const std::shared_ptr<LoopTimers> timers = timers_.lock()) timers->stop(id_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

 private:
  std::weak_ptr<LoopTimers> timers_;
  UINT_PTR id_;
};

// SetTimer takes 10 ms at the least (USER_TIMER_MINIMUM) and raises shorter periods to it.
UINT timer_period(std::chrono::milliseconds period) {
  const auto clamped =
      std::clamp<std::chrono::milliseconds::rep>(period.count(), USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  return static_cast<UINT>(clamped);
}

}  // namespace

std::unique_ptr<screen::Timer> LoopTimers::start(std::chrono::milliseconds period, std::function<void()> tick,
                                                 bool once) {
  const UINT_PTR id = next_id_++;
  if (SetTimer(window_, id, timer_period(period), nullptr) != 0) {
    entries_.emplace(id, Entry{std::make_shared<std::function<void()>>(std::move(tick)), once});
  }
  return std::make_unique<Handle>(weak_from_this(), id);
}

void LoopTimers::fire(UINT_PTR id) {
  const auto found = entries_.find(id);
  if (found == entries_.end()) return;
  const std::shared_ptr<std::function<void()>> tick = found->second.tick;
  if (found->second.once) stop(id);
  (*tick)();
}

void LoopTimers::stop(UINT_PTR id) {
  KillTimer(window_, id);
  entries_.erase(id);
}

}  // namespace marvok::ui::win32
