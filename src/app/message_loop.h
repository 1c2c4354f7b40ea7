#pragma once

#include <optional>

class QApplication;

namespace marvok {

// The main thread's message loop. Main thread only.
class MessageLoop {
 public:
  // Asks the loop to end with `exit_code`. Posted before the loop runs, the
  // loop ends as soon as it starts.
  void post_quit_message(int exit_code);

  // Runs until a quit message; returns its code.
  int run(QApplication& app);

 private:
  std::optional<int> posted_quit_code_;
  bool running_ = false;
};

}  // namespace marvok
