#include "ui/qt/params_window.h"

#include <utility>

namespace marvok::ui {

ParamsWindowToggle::ParamsWindowToggle(QWidget& main, DisplayState& display, const DeviceState& devices,
                                       ParamsServices services, screen::GrowthPauses pauses)
    : WindowToggle(CustomColours{}),
      main_(main),
      display_(display),
      devices_(devices),
      services_(std::move(services)),
      pauses_(pauses) {}

screen::ParamsScreen* ParamsWindowToggle::content() const {
  ToolWindow* open = window();
  return open != nullptr ? static_cast<screen::ParamsScreen*>(&open->content()) : nullptr;
}

void ParamsWindowToggle::repaint_content() {
  if (screen::ParamsScreen* open = content()) open->repaint_content();
}

screen::ParamsCommands ParamsWindowToggle::commands_for(QWidget& owner) {
  screen::ParamsCommands commands;
  commands.toggle_input_device_window = services_.toggle_input_device_window;
  commands.post_parameters = services_.post_parameters;
  commands.repaint_main = services_.repaint_main;
  if (services_.choose_colour) {
    commands.choose_colour = [choose = services_.choose_colour, owner = &owner, &custom = kept_] {
      return choose(owner, custom);
    };
  }
  commands.activate_main = [&main = main_] { main.activateWindow(); };
  return commands;
}

int ParamsWindowToggle::toggle() {
  const screen::Growth growth = screen::params_window_growth(from_qrect(main_.frameGeometry()));
  return toggle_window(
      [&] {
        return new ToolWindow(main_, screen::kParamsWindowLook, to_qpoint(growth.opening),
                              [&](ToolWindow& window, screen::Surface& surface) {
                                return std::make_unique<screen::ParamsScreen>(display_, devices_, lookups(),
                                                                              commands_for(window), surface);
                              });
      },
      [&](const QPointer<ToolWindow>& window) {
        if (show_grown(window, growth, pauses_)) main_.activateWindow();
      });
}

}  // namespace marvok::ui
