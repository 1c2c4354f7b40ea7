#include "screen/network_grid.h"

#include <algorithm>

namespace marvok::screen {

namespace {

constexpr Point kNetworkGridOrigin{10, 10};
constexpr Size kNetworkCellSize{66, 83};
constexpr int kNetworkColumnStep = 71;
constexpr int kNetworkRowStep = 88;
constexpr int kNetworkColumns = 4;

std::vector<GrowthStep> lengthen_network_window(const Rect& reached) {
  std::vector<GrowthStep> steps;
  for (int s = 0; s <= 260; s += 10) {
    steps.push_back(
        {reached.top_left(), {std::min(reached.width + s, kNetworkWindowLook.size.width), reached.height + s}});
  }
  return steps;
}

}  // namespace

Rect network_cell(int index) {
  return {kNetworkGridOrigin +
              Point{kNetworkColumnStep * (index % kNetworkColumns), kNetworkRowStep * (index / kNetworkColumns)},
          kNetworkCellSize};
}

void draw_correspondents(Canvas& canvas, const ChannelState& channel, const relay::MemberTable& members,
                         const MemberPictures& pictures) {
  const int n = channel.ChannelPort.load(std::memory_order_relaxed) - kFirstChannelPort;
  // Counts are clamped so that a damaged list cannot read past the table.
  int count = 0;
  if (relay::is_channel(n)) {
    count =
        std::clamp<int>(members.ChannelMemberCounts[n].load(std::memory_order_relaxed), 0, relay::kMaxListedMembers);
  }
  int cell = 0;
  for (int i = 0; pictures && i < count; ++i) {
    const auto member = static_cast<std::uint16_t>(members.ChannelMembers[n][i].load(std::memory_order_relaxed));
    const std::optional<Picture> picture = pictures(member);
    if (!picture) continue;
    if (!picture->empty()) canvas.picture_stretched(network_cell(cell), *picture, Stretch::IntoRect);
    ++cell;
  }
  // Counted from the list's length, not from the cells used: members without
  // a picture leave the last places empty.
  for (int i = count; i < relay::kMaxListedMembers; ++i) canvas.fill_rect(network_cell(cell++), kGreen);
}

Growth network_window_growth(const Rect& main_frame) {
  // Just past the main window's right edge.
  const int right = main_frame.right() + 1, top = main_frame.top();
  Growth growth{{right - 50, top + 200}, {}, lengthen_network_window};
  for (int s = 0; s <= 200; s += 20) growth.unfolding.push_back({{right - 50 + s / 4, top + 200 - s}, {s, s}});
  return growth;
}

NetworkScreen::NetworkScreen(const ChannelState& channel, const relay::MemberTable& members, MemberPictures pictures,
                             Surface& surface, ToolWindowHost& host)
    : channel_(channel), members_(members), pictures_(std::move(pictures)), surface_(surface), host_(host) {
  surface_.paint([](Canvas& canvas) {
    canvas.fill_rect({{0, 0}, kNetworkWindowLook.size}, kNetworkWindowLook.background);
  });
}

bool NetworkScreen::on_channel_zero() const {
  return channel_.ChannelPort.load(std::memory_order_relaxed) == kFirstChannelPort;
}

void NetworkScreen::tick() {
  if (on_channel_zero()) {
    host_.close_window();
    return;
  }
  const std::int32_t count = channel_.ChannelMemberCount.load(std::memory_order_relaxed);
  if (count == last_drawn_count_) return;
  last_drawn_count_ = count;
  host_.repaint_now();
}

PaintOutcome NetworkScreen::before_paint() {
  if (on_channel_zero()) return PaintOutcome::Close;
  if (!started_) return PaintOutcome::Show;
  // The grid drawn here is the one the next tick compares against, so the
  // opening paint is not followed by a second full download a second later.
  last_drawn_count_ = channel_.ChannelMemberCount.load(std::memory_order_relaxed);
  surface_.paint([&](Canvas& canvas) {
    canvas.fill_rect({{0, 0}, kNetworkWindowLook.size}, kNetworkWindowLook.background);
    draw_correspondents(canvas, channel_, members_, pictures_);
  });
  return PaintOutcome::Show;
}

}  // namespace marvok::screen
