#pragma once

#include <stop_token>

#include "relay/control_worker.h"

namespace marvok {

// The relay supervisor's notices, acted on by the main thread while the
// control worker waits: a warning and the installer page for a version too
// old, the notice window before the supervisor closes the client; then the
// main window is destroyed, which ends the client.
class SupervisorNoticeActions final : public relay::SupervisorNotices {
 public:
  explicit SupervisorNoticeActions(std::stop_token stop) : stop_(std::move(stop)) {}

  void version_too_old() override;
  void supervisor_closes() override;

 private:
  std::stop_token stop_;
};

}  // namespace marvok
