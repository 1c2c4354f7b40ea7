#pragma once

#include <cstdint>

#include "relay/member_table.h"
#include "screen/canvas.h"
#include "screen/surface.h"
#include "screen/tool_window.h"
#include "state/session_state.h"

namespace marvok::screen {

inline constexpr ToolWindowLook kNetworkWindowLook{.class_name = "NetworkWndClass",
                                                   .title = u"Marvok Network",
                                                   .background = kYellow,
                                                   .size = {315, 460},
                                                   .tick_period = std::chrono::seconds(1)};

// Where cell `index` of the correspondents grid stands: 66 × 83, four to a row from (10, 10).
Rect network_cell(int index);

// Draws the members of the current channel in the grid: the pictures that
// could be had, in the relay's order, then green cells for the places left
// out of sixteen.
void draw_correspondents(Canvas& canvas, const ChannelState& channel, const relay::MemberTable& members,
                         const MemberPictures& pictures);

// Unfolds up and out of the main window's right edge, then lengthens.
Growth network_window_growth(const Rect& main_frame);

// The network window's content: who is in the member's channel, redrawn at
// each paint and when the relay's count changes. The window closes once the
// member is back on channel 0.
class NetworkScreen final : public ToolScreen {
 public:
  NetworkScreen(const ChannelState& channel, const relay::MemberTable& members, MemberPictures pictures,
                Surface& surface, ToolWindowHost& host);

  void start() override { started_ = true; }
  void tick() override;
  PaintOutcome before_paint() override;

 private:
  bool on_channel_zero() const;

  const ChannelState& channel_;
  const relay::MemberTable& members_;
  MemberPictures pictures_;
  Surface& surface_;
  ToolWindowHost& host_;
  bool started_ = false;
  std::int32_t last_drawn_count_ = -1;
};

}  // namespace marvok::screen
