#include "ui/win32/termination_requests.h"

#include <utility>

#include "ui/win32/posted_calls.h"

namespace marvok::ui::win32 {

class TerminationRequests::Watch final : public screen::LoopTask {
 public:
  Watch(std::weak_ptr<TerminationRequests> requests, std::shared_ptr<const std::function<void()>> on_request)
      : requests_(std::move(requests)), on_request_(std::move(on_request)) {}
  ~Watch() override {
    const std::shared_ptr<TerminationRequests> requests = requests_.lock();
    if (requests && requests->watcher_ == on_request_) requests->watcher_.reset();
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

 private:
  std::weak_ptr<TerminationRequests> requests_;
  std::shared_ptr<const std::function<void()>> on_request_;
};

TerminationRequests::TerminationRequests(std::shared_ptr<PostedCalls> calls)
    : calls_(std::move(calls)), target_(calls_->new_target_id()) {}

TerminationRequests::~TerminationRequests() { calls_->drop(target_); }

void TerminationRequests::request() {
  calls_->post(target_, [requests = weak_from_this()] {
    if (const std::shared_ptr<TerminationRequests> alive = requests.lock()) alive->serve();
  });
}

std::unique_ptr<screen::LoopTask> TerminationRequests::watch(std::function<void()> on_request) {
  watcher_ = std::make_shared<const std::function<void()>>(std::move(on_request));
  for (; held_ > 0; --held_) request();
  return std::make_unique<Watch>(weak_from_this(), watcher_);
}

void TerminationRequests::serve() {
  // Held by the call: the watcher may destroy its watch as it serves.
  const std::shared_ptr<const std::function<void()>> watcher = watcher_;
  if (!watcher) {
    ++held_;
    return;
  }
  (*watcher)();
}

}  // namespace marvok::ui::win32
