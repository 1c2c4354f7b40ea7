#pragma once

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "screen/tool_window.h"
#include "ui/qt/qt_canvas.h"

namespace marvok::ui {

// A tool window owned by the main window, whose content is the screen's: the
// window keeps the backing image the content draws on, copies it out when it
// paints, runs the content's timer and hands its clicks over.
class ToolWindow final : public QWidget, public screen::ToolWindowHost {
  Q_OBJECT

 public:
  // Makes the content, which draws on `surface`.
  using MakeScreen = std::function<std::unique_ptr<screen::ToolScreen>(ToolWindow& window, screen::Surface& surface)>;

  // Made small at `position`, with the object name and title of `look`.
  ToolWindow(QWidget& main, const screen::ToolWindowLook& look, QPoint position, const MakeScreen& make_screen);
  ~ToolWindow() override;

  // Ends the opening: the content is drawn and its timer runs.
  void start();
  // The timer's step.
  void tick();

  bool ready() const { return ready_; }
  // True from the moment the window is asked to close, before it is deleted.
  bool closing() const { return closing_; }
  bool timer_running() const { return timer_.isActive(); }
  const QImage& surface() const { return surface_.image(); }
  screen::ToolScreen& content() { return *screen_; }

  screen::Size outer_size() const override;
  void repaint_now() override { repaint(); }
  void close_window() override { close(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  screen::ToolWindowLook look_;
  ImageSurface surface_;
  std::unique_ptr<screen::ToolScreen> screen_;
  QTimer timer_;
  bool ready_ = false;
  bool closing_ = false;
};

// Shows the window, grows it and starts it. False when it went or began
// closing meanwhile.
bool show_grown(const QPointer<ToolWindow>& window, const screen::Growth& growth, screen::GrowthPauses pauses);

}  // namespace marvok::ui
