#include "ui/win32/grown_tool_windows.h"

#include <memory>
#include <utility>

#include "screen/group_rows.h"
#include "screen/network_grid.h"

namespace marvok::ui::win32 {

NetworkWindowToggle::NetworkWindowToggle(ToolWindowBase base, const ChannelState& channel,
                                         const relay::MemberTable& members, screen::MemberPictures pictures)
    : base_(base), channel_(channel), members_(members), pictures_(std::move(pictures)) {}

int NetworkWindowToggle::toggle() {
  if (channel_.ChannelPort.load(std::memory_order_relaxed) == kFirstChannelPort) return 1;
  const screen::Growth growth = screen::network_window_growth(frame_of(base_.main));
  return toggle_window(
      [&] {
        return ToolWindow::create(
            base_.main, screen::kNetworkWindowLook, growth.opening, [&](ToolWindow& window, screen::Surface& surface) {
              return std::make_unique<screen::NetworkScreen>(channel_, members_, pictures_, surface, window);
            });
      },
      [&](const std::shared_ptr<ToolWindow>& window) {
        if (show_grown(window, growth, {}, base_.loop)) activate(base_.main);
      });
}

GroupListWindowToggle::GroupListWindowToggle(ToolWindowBase base, const relay::MemberTable& members,
                                             screen::MemberPictures pictures)
    : base_(base), members_(members), pictures_(std::move(pictures)) {}

int GroupListWindowToggle::toggle() {
  const screen::Growth growth = screen::group_list_growth(frame_of(base_.main));
  return toggle_window(
      [&] {
        return ToolWindow::create(base_.main, screen::kGroupListWindowLook, growth.opening,
                                  [&](ToolWindow& window, screen::Surface& surface) {
                                    return std::make_unique<screen::GroupListScreen>(members_, pictures_, next_row_,
                                                                                     surface, window);
                                  });
      },
      [&](const std::shared_ptr<ToolWindow>& window) {
        if (show_grown(window, growth, screen::kGroupListGrowthPauses, base_.loop)) activate(base_.main);
      });
}

ParamsWindowToggle::ParamsWindowToggle(ToolWindowBase base, DisplayState& display, const DeviceState& devices,
                                       screen::ParamsLookups lookups, screen::ParamsCommands commands)
    : base_(base), display_(display), devices_(devices), lookups_(std::move(lookups)), commands_(std::move(commands)) {
  commands_.activate_main = [main = base_.main] { activate(main); };
}

void ParamsWindowToggle::repaint_content() {
  if (ToolWindow* open = window()) static_cast<screen::ParamsScreen&>(open->content()).repaint_content();
}

int ParamsWindowToggle::toggle() {
  const screen::Growth growth = screen::params_window_growth(frame_of(base_.main));
  return toggle_window(
      [&] {
        return ToolWindow::create(
            base_.main, screen::kParamsWindowLook, growth.opening, [&](ToolWindow& window, screen::Surface& surface) {
              screen::ParamsCommands commands = commands_;
              commands.choose_colour = [&window, &custom = custom_colours_] {
                return choose_colour(window.handle(), custom);
              };
              return std::make_unique<screen::ParamsScreen>(display_, devices_, lookups_, std::move(commands), surface);
            });
      },
      [&](const std::shared_ptr<ToolWindow>& window) {
        if (show_grown(window, growth, {}, base_.loop)) activate(base_.main);
      });
}

}  // namespace marvok::ui::win32
