#include "ui/qt/network_window.h"

#include <utility>

namespace marvok::ui {

NetworkWindowToggle::NetworkWindowToggle(QWidget& main, const ChannelState& channel, const relay::MemberTable& members,
                                         screen::MemberPictures pictures, screen::GrowthPauses pauses)
    : main_(main), channel_(channel), members_(members), pictures_(std::move(pictures)), pauses_(pauses) {}

int NetworkWindowToggle::toggle() {
  if (channel_.ChannelPort.load(std::memory_order_relaxed) == kFirstChannelPort) return 1;
  const screen::Growth growth = screen::network_window_growth(from_qrect(main_.frameGeometry()));
  return toggle_window(
      [&] {
        return new ToolWindow(main_, screen::kNetworkWindowLook, to_qpoint(growth.opening),
                              [&](ToolWindow& window, screen::Surface& surface) {
                                return std::make_unique<screen::NetworkScreen>(channel_, members_, pictures_, surface,
                                                                               window);
                              });
      },
      [&](const QPointer<ToolWindow>& window) {
        if (show_grown(window, growth, pauses_)) main_.activateWindow();
      });
}

}  // namespace marvok::ui
