#pragma once

#include <stop_token>

#include "app/startup_images.h"
#include "relay/control_worker.h"
#include "screen/dialogs.h"
#include "screen/event_loop.h"

namespace marvok {

// The relay supervisor's notices, acted on by the main thread while the
// control worker waits: a warning and the installer page for a version too
// old, the notice window before the supervisor closes the client; then the
// main window is destroyed, which ends the client.
class SupervisorNoticeActions final : public relay::SupervisorNotices {
 public:
  SupervisorNoticeActions(screen::PostTarget& main_thread, screen::Dialogs& dialogs, MainWindowGetter window,
                          std::stop_token stop)
      : main_thread_(main_thread), dialogs_(dialogs), window_(std::move(window)), stop_(std::move(stop)) {}

  void version_too_old() override;
  void supervisor_closes() override;

 private:
  screen::PostTarget& main_thread_;
  screen::Dialogs& dialogs_;
  MainWindowGetter window_;
  std::stop_token stop_;
};

}  // namespace marvok
