#pragma once

#include <QWidget>

#include "relay/member_table.h"
#include "screen/network_grid.h"
#include "state/session_state.h"
#include "ui/qt/tool_window.h"
#include "ui/qt/window_toggle.h"

namespace marvok::ui {

// Opens and closes the "Marvok Network" window, who is in the member's
// channel, from the main window's NETWORK button.
class NetworkWindowToggle final : public WindowToggle<ToolWindow> {
 public:
  NetworkWindowToggle(QWidget& main, const ChannelState& channel, const relay::MemberTable& members,
                      screen::MemberPictures pictures, screen::GrowthPauses pauses = {});

  // On channel 0 does nothing; closes the window when open; otherwise opens
  // it, growing it from beside the main window, and returns once it is grown.
  // 0 only when the window could not be created.
  int toggle();

 private:
  QWidget& main_;
  const ChannelState& channel_;
  const relay::MemberTable& members_;
  screen::MemberPictures pictures_;
  screen::GrowthPauses pauses_;
};

}  // namespace marvok::ui
