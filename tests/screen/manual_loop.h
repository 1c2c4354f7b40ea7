#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "screen/event_loop.h"

namespace marvok::screen {

// An event loop the test turns by hand: it notes the timers asked for and
// keeps posted calls until `run_posted`.
class ManualLoop final : public EventLoop {
 public:
  std::unique_ptr<Timer> repeat(std::chrono::milliseconds period, std::function<void()>) override {
    periods.push_back(period);
    return std::make_unique<Timer>();
  }
  std::unique_ptr<Timer> once(std::chrono::milliseconds delay, std::function<void()>) override {
    periods.push_back(delay);
    return std::make_unique<Timer>();
  }
  std::unique_ptr<PostTarget> post_target() override { return std::make_unique<Target>(posted); }
  void pause_with_events(std::chrono::milliseconds pause) override { pauses.push_back(pause); }
  std::unique_ptr<LoopTask> watch_termination_requests(std::function<void()>) override { return nullptr; }
  int run() override { return 0; }
  void exit(int) override {}

  void run_posted() {
    for (auto& work : std::exchange(posted, {})) work();
  }

  std::vector<std::chrono::milliseconds> periods;
  std::vector<std::function<void()>> posted;
  std::vector<std::chrono::milliseconds> pauses;

 private:
  struct Target final : PostTarget {
    explicit Target(std::vector<std::function<void()>>& queue) : queue_(queue) {}
    void post(std::function<void()> work) override { queue_.push_back(std::move(work)); }
    std::vector<std::function<void()>>& queue_;
  };
};

}  // namespace marvok::screen
