#pragma once

#include "screen/event_loop.h"

namespace marvok::ui {

// The screen's event loop over Qt's: timers are precise QTimers of the
// window thread, which keep running inside boxes and dialogs.
class QtEventLoop final : public screen::EventLoop {
 public:
  std::unique_ptr<screen::Timer> repeat(std::chrono::milliseconds period, std::function<void()> tick) override;
};

}  // namespace marvok::ui
