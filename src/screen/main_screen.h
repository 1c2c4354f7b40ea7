#pragma once

#include <functional>
#include <string_view>

#include "platform/master_volume.h"
#include "screen/keys.h"
#include "screen/main_areas.h"
#include "screen/surface.h"
#include "screen/window_frame.h"
#include "state/session_state.h"

namespace marvok::screen {

// What the main window's controls do beyond the state it holds itself. The
// client wires each; one left empty does nothing.
struct MainWindowCommands {
  std::function<void()> toggle_network_window;
  std::function<void()> toggle_group_window;
  std::function<void()> toggle_params_window;
  std::function<void()> toggle_picture_window;
  std::function<void()> open_documentation;
  std::function<void()> show_about_box;
  std::function<void()> toggle_companion;
  // Reads a help sentence aloud through the speech companion.
  std::function<void(std::u16string_view text)> speak;
  std::function<void(platform::AudioEndpoint endpoint, float level)> set_master_level;
  // A key without a command was pressed.
  std::function<void()> show_inactive_key;
};

enum class Button { Left, Right, Other };

// What a button press asks of the window itself.
enum class PressOutcome { Handled, StartDrag };

// The main window as the member sees and touches it, whatever draws it: the
// frame painted on its surface, the panels drawn over it, what a key, a click
// or the pointer does. The front end owns the window and its surface, hands
// its events here and closes the window when `close` runs.
class MainScreen {
 public:
  MainScreen(SessionState& state, Surface& surface, std::function<void()> close);

  void set_commands(MainWindowCommands commands) { commands_ = std::move(commands); }
  // Drawn over the frame each time the frame is painted, for pictures that
  // belong to the window's background (the accessory's icon).
  void set_frame_overlay(std::function<void(Canvas&)> overlay) { frame_overlay_ = std::move(overlay); }

  // Draws on the surface and shows the result in `area`; nothing once the window is closed.
  void draw(const Region& area, const std::function<void(Canvas&)>& drawing);
  // Works on the surface's pixels through `drawing`, which says what it changed.
  void draw_pixels(const std::function<Rect(Surface&)>& drawing);

  // Asks for the frame to be painted again over `area` before the next paint.
  void request_repaint(const Region& area);
  // Paints the frame where it was asked for; the front end calls it before
  // copying the surface out.
  void paint_frame_if_asked();
  // Counts the frame paintings: a panel drawn before the last one must be drawn again.
  int frame_generation() const { return frame_generation_; }

  // Where the status panel last drew its controls, for the clicks.
  void set_control_rects(const ControlRects& rects) { controls_ = rects; }
  const ControlRects& control_rects() const { return controls_; }

  // The window became the member's active window, or stopped being it.
  void set_foreground(bool foreground);
  bool foreground() const { return foreground_; }

  // The pointer moved to `point` (window coordinates): the close cross and the help line follow it.
  void pointer_moved(Point point);
  PressOutcome button_pressed(Button button, Point point);
  void left_click(Point point);
  void right_click(Point point);
  // Key presses, auto-repeats left out by the front end.
  void key_down(Key key);
  void key_up(Key key);
  // The window lost the keyboard (focus, activation, enabled, shown): a Space
  // release would go elsewhere.
  void keyboard_lost();

  // Closes the window, once; the client's close command and the cross come here.
  void close();
  bool closed() const { return closed_; }

 private:
  void set_cross_hover(CrossHover hover);
  static void run(const std::function<void()>& command) {
    if (command) command();
  }

  SessionState& state_;
  Surface& surface_;
  std::function<void()> close_;
  MainWindowCommands commands_;
  Region frame_to_paint_;
  int frame_generation_ = 0;
  ControlRects controls_;
  CrossHover cross_hover_ = CrossHover::Outside;
  bool foreground_ = false;
  // Whether push-to-talk was pressed by Space in this window and not yet released.
  bool space_held_ = false;
  bool closed_ = false;
  std::function<void(Canvas&)> frame_overlay_;
};

}  // namespace marvok::screen
