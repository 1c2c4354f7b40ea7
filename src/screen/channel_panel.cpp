#include "screen/channel_panel.h"

#include <string>

#include "relay/channels.h"
#include "screen/main_layout.h"

namespace marvok::screen {

void draw_channel_panel(Canvas& canvas, const ChannelState& channel, const MainWindowImages& images,
                        Colour background) {
  const Rect& panel = kChannelPanelArea;
  const int n = relay::current_channel(channel);
  if (!images.channel[0].empty()) canvas.picture(panel.top_left(), images.channel[0]);
  if (n > 0 && n < kChannelCount)
    canvas.picture_keyed({panel.left() + 40, panel.top() + 20}, images.channel[static_cast<std::size_t>(n)]);
  canvas.frame_rect(panel, kRed);

  const Rect name_strip = Rect::edges(panel.left() + 10, panel.top() + 5, panel.right() + 1 - 10, panel.top() + 25);
  canvas.text_centred(name_strip, relay::channel_name(n), arial(16), kYellow, std::nullopt);

  const int right = panel.left() + panel.width, bottom = panel.top() + panel.height;
  const std::string count = std::to_string(channel.ChannelMemberCount.load(std::memory_order_relaxed));
  canvas.text_at({right - 30, bottom - 22}, std::u16string(count.begin(), count.end()), arial(14), kWhite, background);
  canvas.text_at({panel.left() + 8, bottom - 8}, u"CHANNEL", arial(14), kWhite, background);
}

}  // namespace marvok::screen
