#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "screen/params_content.h"
#include "state/session_state.h"
#include "ui/qt/colour_dialog.h"
#include "ui/qt/tool_window.h"
#include "ui/qt/window_toggle.h"

namespace marvok::ui {

// What the window asks of the rest of the client, its lookups included. A
// missing function counts as a lookup that failed, or as nothing to do.
struct ParamsServices : screen::ParamsLookups {
  std::function<void()> toggle_input_device_window;
  std::function<void(std::uint32_t colour)> post_parameters;
  // The colour picker: the chosen 0x00BBGGRR colour, nothing on cancel.
  std::function<std::optional<std::uint32_t>(QWidget* owner, CustomColours& custom)> choose_colour;
  std::function<void()> repaint_main;
};

// Opens and closes the "Marvok Params" window, the devices, the member's card
// and the background colour, from the main window's PARAMS button. The
// picker's custom colours are kept for the whole run, whichever window
// picked them.
class ParamsWindowToggle final : public WindowToggle<ToolWindow, CustomColours> {
 public:
  ParamsWindowToggle(QWidget& main, DisplayState& display, const DeviceState& devices, ParamsServices services,
                     screen::GrowthPauses pauses = {});

  // Closes the window when open; otherwise opens it, growing it from beside
  // the main window, and returns once it is grown. 0 only when the window
  // could not be created.
  int toggle();
  // Redraws the open window's content, if any (after the member chose an input device).
  void repaint_content();

  // The open window's content, or null.
  screen::ParamsScreen* content() const;
  const CustomColours& custom_colours() const { return kept_; }

 private:
  screen::ParamsCommands commands_for(QWidget& owner);
  const screen::ParamsLookups& lookups() const { return services_; }

  QWidget& main_;
  DisplayState& display_;
  const DeviceState& devices_;
  ParamsServices services_;
  screen::GrowthPauses pauses_;
};

}  // namespace marvok::ui
