#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/master_volume.h"
#include "state/session_state.h"
#include "ui/main_window_areas.h"
#include "ui/window_frame.h"

namespace marvok::ui {

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

// The client's borderless 550 × 730 main window. Everything it shows is drawn
// on a backing image: the frame when the window asks to be repainted, the
// live panels by their timers. Painting the widget copies the image out.
// Its keys work push-to-talk and the channels; its painted areas answer
// clicks, show help on hover and have it read aloud on a right click.
class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(SessionState& state);

  void set_commands(MainWindowCommands commands) { commands_ = std::move(commands); }
  // Runs when the window is destroyed, whether by the client or by the user.
  void set_destroy_handler(std::function<void()> handler) { on_destroy_ = std::move(handler); }
  // Drawn over the frame each time the frame is painted, for pictures that
  // belong to the window's background (the accessory's icon).
  void set_frame_overlay(std::function<void(QPainter&)> overlay) { frame_overlay_ = std::move(overlay); }

  // Hides the window for good and runs the destroy handler once; later calls
  // do nothing. The widget itself stays until its owner deletes it, so a
  // handler still running under it (a box, an animation) never finds it gone.
  void destroy_window();
  bool destroyed() const { return destroyed_; }

  // Draws on the surface and shows the result in `area`.
  void draw(const QRegion& area, const std::function<void(QPainter&)>& drawing);
  // Works on the surface's pixels (for effects a painter cannot make) and
  // shows the area the drawing says it changed.
  void draw_pixels(const std::function<QRect(QImage&)>& drawing);

  // Asks for the frame to be painted again over `area` at the next paint.
  void request_repaint(const QRegion& area);
  // Paints what was asked for now, without waiting for the event loop.
  void update_now();
  // Counts the frame paintings: a panel drawn before the last one must be drawn again.
  int frame_generation() const { return frame_generation_; }

  const QImage& surface() const { return surface_; }

  // Where the status panel last drew its controls, for the clicks.
  void set_control_rects(const ControlRects& rects) { controls_ = rects; }
  const ControlRects& control_rects() const { return controls_; }

  // The pointer moved to `point` (window coordinates): the close cross and the help line follow it.
  void pointer_moved(QPoint point);
  void left_click(QPoint point);
  void right_click(QPoint point);
  void key_down(int qt_key, bool keypad, std::uint32_t scan_code);
  void key_up(int qt_key);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void paint_frame_if_asked();
  void set_cross_hover(CrossHover hover);
  void release_space();
  static void run(const std::function<void()>& command) {
    if (command) command();
  }

  SessionState& state_;
  MainWindowCommands commands_;
  QImage surface_;
  QRegion frame_to_paint_;
  int frame_generation_ = 0;
  ControlRects controls_;
  CrossHover cross_hover_ = CrossHover::Outside;
  // Set while the window follows the pointer because the window system could not move it.
  std::optional<QPoint> drag_offset_;
  // Whether push-to-talk was pressed by Space in this window and not yet released.
  bool space_held_ = false;
  bool destroyed_ = false;
  std::function<void()> on_destroy_;
  std::function<void(QPainter&)> frame_overlay_;
};

// The rounded outline of the window: a 550 × 730 rectangle whose corners are
// cut by 20 × 20 ellipses.
QRegion rounded_window_region();

}  // namespace marvok::ui
