#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>
#include <functional>

namespace marvok::ui {

// The client's borderless 550 × 730 main window. Everything it shows is drawn
// on a backing image: the frame when the window asks to be repainted, the
// live panels by their timers. Painting the widget copies the image out.
class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  MainWindow();

  // Runs when the window is destroyed, whether by the client or by the user.
  void set_destroy_handler(std::function<void()> handler) { on_destroy_ = std::move(handler); }

  // Hides the window for good, runs the destroy handler once and lets Qt
  // delete the widget. Later calls do nothing.
  void destroy_window();
  bool destroyed() const { return destroyed_; }

  // Draws on the surface and shows the result in `area`.
  void draw(const QRect& area, const std::function<void(QPainter&)>& drawing);

  // Asks for the frame to be painted again over `area` at the next paint.
  void request_repaint(const QRegion& area);
  // Paints what was asked for now, without waiting for the event loop.
  void update_now();

  const QImage& surface() const { return surface_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void paint_frame_if_asked();

  QImage surface_;
  QRegion frame_to_paint_;
  bool destroyed_ = false;
  std::function<void()> on_destroy_;
};

// The rounded outline of the window: a 550 × 730 rectangle whose corners are
// cut by 20 × 20 ellipses.
QRegion rounded_window_region();

}  // namespace marvok::ui
