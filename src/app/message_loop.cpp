#include "app/message_loop.h"

#include <utility>

namespace marvok {

void MessageLoop::post_quit_message(int exit_code) {
  if (running_) {
    loop_.exit(exit_code);
    return;
  }
  if (!posted_quit_code_) posted_quit_code_ = exit_code;
}

int MessageLoop::run() {
  if (posted_quit_code_) return *std::exchange(posted_quit_code_, std::nullopt);
  running_ = true;
  const int code = loop_.run();
  running_ = false;
  return code;
}

}  // namespace marvok
