#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "screen/event_loop.h"

namespace marvok::ui::win32 {

class PostedCalls;

// Requests to end the process, served on the window thread by the current
// watch, or held until there is one.
class TerminationRequests : public std::enable_shared_from_this<TerminationRequests> {
 public:
  explicit TerminationRequests(std::shared_ptr<PostedCalls> calls);
  ~TerminationRequests();
  TerminationRequests(const TerminationRequests&) = delete;
  TerminationRequests& operator=(const TerminationRequests&) = delete;

  // From any thread; served once the window thread gets to it, never from
  // inside the caller's own message.
  void request();
  // Window thread. Requests held until now are served next.
  std::unique_ptr<screen::LoopTask> watch(std::function<void()> on_request);

 private:
  class Watch;
  void serve();

  std::shared_ptr<PostedCalls> calls_;
  std::uint64_t target_;
  int held_ = 0;
  std::shared_ptr<const std::function<void()>> watcher_;
};

}  // namespace marvok::ui::win32
