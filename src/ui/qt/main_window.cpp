#include "ui/qt/main_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include "screen/main_layout.h"
#include "ui/qt/qt_keys.h"

namespace marvok::ui {

namespace {

const QSize kWindowSize(screen::kMainWindowSize.width, screen::kMainWindowSize.height);

}  // namespace

QRegion rounded_window_region() {
  QPainterPath outline;
  outline.addRoundedRect(QRectF(QPoint(0, 0), kWindowSize), 10, 10);
  return QRegion(outline.toFillPolygon().toPolygon());
}

MainWindow::MainWindow(SessionState& state)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      surface_(kWindowSize, [this](const QRegion& area) { update(area); }),
      screen_(state, surface_, [this] { hide_for_good(); }) {
  setObjectName(QStringLiteral("X"));
  setWindowTitle(QStringLiteral("MARVOK"));
  setFixedSize(kWindowSize);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMask(rounded_window_region());
}

void MainWindow::hide_for_good() {
  hide();
  if (on_destroy_) on_destroy_();
}

void MainWindow::update_now() {
  screen_.paint_frame_if_asked();
  repaint();
}

void MainWindow::paintEvent(QPaintEvent* event) {
  screen_.paint_frame_if_asked();
  QPainter painter(this);
  // One rectangle clip at a time: the raster engine then copies the rows
  // straight across. Under a clip of several rectangles it would blend span by
  // span, and hand tall areas to its thread pool, waking two threads for each
  // animation frame.
  for (const QRect& part : event->region()) {
    painter.setClipRect(part);
    painter.drawImage(part.topLeft(), surface_.image(), part);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing from outside (the window manager) ends the client like its own close command.
  event->ignore();
  destroy_window();
}

void MainWindow::focusOutEvent(QFocusEvent* event) {
  screen_.keyboard_lost();
  QWidget::focusOutEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) screen_.set_foreground(isActiveWindow());
  if (event->type() == QEvent::EnabledChange && !isEnabled()) screen_.keyboard_lost();
  QWidget::changeEvent(event);
}

void MainWindow::hideEvent(QHideEvent* event) {
  screen_.keyboard_lost();
  QWidget::hideEvent(event);
}

// A held key repeats as release and press pairs on X11: only the first press
// and the last release count, so holding Space keeps the member talking.
void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat()) screen_.key_down(screen_key(*event));
  event->accept();
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat()) screen_.key_up(screen_key(*event));
  event->accept();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  const screen::Button button = event->button() == Qt::LeftButton    ? screen::Button::Left
                                : event->button() == Qt::RightButton ? screen::Button::Right
                                                                     : screen::Button::Other;
  if (screen_.button_pressed(button, from_qpoint(point)) == screen::PressOutcome::StartDrag &&
      !(windowHandle() && windowHandle()->startSystemMove()))
    drag_offset_ = point;
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (drag_offset_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - *drag_offset_);
    return;
  }
  screen_.pointer_moved(from_qpoint(event->position().toPoint()));
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) drag_offset_.reset();
}

}  // namespace marvok::ui
