#include "ui/win32/posted_calls.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace marvok::ui::win32 {

namespace {

// Enough to drain what a busy second of the client posts in one go, small
// enough that a key press waits no longer than a few calls.
constexpr int kBatch = 64;

class Target final : public screen::PostTarget {
 public:
  Target(std::shared_ptr<PostedCalls> calls, std::uint64_t id) : calls_(std::move(calls)), id_(id) {}
  ~Target() override { calls_->drop(id_); }
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

  void post(std::function<void()> work) override { calls_->post(id_, std::move(work)); }

 private:
  std::shared_ptr<PostedCalls> calls_;
  std::uint64_t id_;
};

// Input, painting or a timer of the thread's is waiting.
bool others_wait() { return HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER)) != 0; }

}  // namespace

std::unique_ptr<screen::PostTarget> PostedCalls::new_target() {
  return std::make_unique<Target>(shared_from_this(), new_target_id());
}

std::uint64_t PostedCalls::new_target_id() {
  const std::lock_guard lock(mutex_);
  return ++last_target_;
}

void PostedCalls::post(std::uint64_t target, std::function<void()> work) {
  const std::lock_guard lock(mutex_);
  if (!window_) return;
  waiting_.push_back({target, std::move(work)});
  if (scheduled_) return;
  // A message to our own window, not to the thread: modal loops dispatch it.
  scheduled_ = PostMessageW(window_, kRunPostedCalls, 0, 0) != 0;
}

void PostedCalls::drop(std::uint64_t target) {
  std::vector<Call> dropped;
  {
    const std::lock_guard lock(mutex_);
    const auto kept = std::stable_partition(waiting_.begin(), waiting_.end(),
                                            [target](const Call& call) { return call.target != target; });
    std::move(kept, waiting_.end(), std::back_inserter(dropped));
    waiting_.erase(kept, waiting_.end());
  }
  // Released unlocked: what a call holds may post as it goes.
}

void PostedCalls::run_some(bool at_timer) {
  {
    const std::lock_guard lock(mutex_);
    if (!window_) return;
    KillTimer(window_, kPostedCallsTimer);
    // From here on a post schedules anew, so that a call holding the thread
    // in a box still lets the next ones run inside it.
    scheduled_ = false;
  }
  if (!at_timer && others_wait()) {
    continue_later();
    return;
  }
  for (int ran = 0; ran < kBatch; ++ran) {
    std::function<void()> work = take();
    if (!work) return;
    work();
  }
  continue_later();
}

std::function<void()> PostedCalls::take() {
  const std::lock_guard lock(mutex_);
  if (waiting_.empty()) return {};
  std::function<void()> work = std::move(waiting_.front().work);
  waiting_.pop_front();
  return work;
}

void PostedCalls::continue_later() {
  const std::lock_guard lock(mutex_);
  if (scheduled_ || waiting_.empty() || !window_) return;
  if (others_wait()) {
    scheduled_ = SetTimer(window_, kPostedCallsTimer, USER_TIMER_MINIMUM, nullptr) != 0;
  } else {
    scheduled_ = PostMessageW(window_, kRunPostedCalls, 0, 0) != 0;
  }
}

void PostedCalls::close() {
  std::deque<Call> dropped;
  const std::lock_guard lock(mutex_);
  window_ = nullptr;
  dropped.swap(waiting_);
}

}  // namespace marvok::ui::win32
