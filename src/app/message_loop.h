#pragma once

#include <optional>

#include "screen/event_loop.h"

namespace marvok {

// The main thread's message loop. Main thread only.
class MessageLoop {
 public:
  explicit MessageLoop(screen::EventLoop& loop) : loop_(loop) {}

  // Asks the loop to end with `exit_code`. Posted before the loop runs, the
  // loop ends as soon as it starts.
  void post_quit_message(int exit_code);

  // Runs until a quit message; returns its code.
  int run();

 private:
  screen::EventLoop& loop_;
  std::optional<int> posted_quit_code_;
  bool running_ = false;
};

}  // namespace marvok
