#pragma once

#include <QWidget>
#include <optional>

#include "screen/main_screen.h"
#include "state/session_state.h"
#include "ui/qt/qt_canvas.h"

namespace marvok::ui {

// The client's borderless 550 × 730 main window. What it shows and what its
// keys and clicks do is the screen's; the window keeps the backing image the
// screen draws on, copies it out when it paints, and hands its events over.
class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(SessionState& state);

  screen::MainScreen& screen() { return screen_; }
  // Runs when the window is destroyed, whether by the client or by the user.
  void set_destroy_handler(std::function<void()> handler) { on_destroy_ = std::move(handler); }

  // Hides the window for good and runs the destroy handler once; later calls
  // do nothing. The widget itself stays until its owner deletes it, so a
  // handler still running under it (a box, an animation) never finds it gone.
  void destroy_window() { screen_.close(); }
  bool destroyed() const { return screen_.closed(); }

  // Paints what was asked for now, without waiting for the event loop.
  void update_now();

  const QImage& surface() const { return surface_.image(); }

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
  void hide_for_good();

  ImageSurface surface_;
  screen::MainScreen screen_;
  // Set while the window follows the pointer because the window system could not move it.
  std::optional<QPoint> drag_offset_;
  std::function<void()> on_destroy_;
};

// The rounded outline of the window: a 550 × 730 rectangle whose corners are
// cut by 20 × 20 ellipses.
QRegion rounded_window_region();

}  // namespace marvok::ui
