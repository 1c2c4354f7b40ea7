#include "app/message_loop.h"

#include <QApplication>
#include <optional>

namespace marvok {

namespace {

// Main thread only.
std::optional<int> posted_quit_code;
bool loop_running = false;

}  // namespace

void post_quit_message(int exit_code) {
  if (loop_running) {
    QCoreApplication::exit(exit_code);
    return;
  }
  if (!posted_quit_code) posted_quit_code = exit_code;
}

int run_message_loop(QApplication& app) {
  if (posted_quit_code) return *std::exchange(posted_quit_code, std::nullopt);
  loop_running = true;
  const int code = app.exec();
  loop_running = false;
  return code;
}

}  // namespace marvok
