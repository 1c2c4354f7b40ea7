#include "ui/main_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include "relay/channels.h"
#include "ui/colorref.h"
#include "ui/keyboard_commands.h"
#include "ui/main_window_layout.h"

namespace marvok::ui {

QRegion rounded_window_region() {
  QPainterPath outline;
  outline.addRoundedRect(QRectF(QPoint(0, 0), kMainWindowSize), 10, 10);
  return QRegion(outline.toFillPolygon().toPolygon());
}

MainWindow::MainWindow(SessionState& state)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      state_(state),
      surface_(kMainWindowSize, QImage::Format_RGB32) {
  setObjectName(QStringLiteral("X"));
  setWindowTitle(QStringLiteral("MARVOK"));
  setFixedSize(kMainWindowSize);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMask(rounded_window_region());
  surface_.fill(from_colorref(state_.display.BackgroundColor.load(std::memory_order_relaxed)));
  frame_to_paint_ = QRegion(rect());
}

void MainWindow::destroy_window() {
  if (destroyed_) return;
  destroyed_ = true;
  hide();
  if (on_destroy_) on_destroy_();
}

void MainWindow::draw(const QRegion& area, const std::function<void(QPainter&)>& drawing) {
  if (destroyed_) return;
  {
    QPainter painter(&surface_);
    drawing(painter);
  }
  update(area);
}

void MainWindow::draw_pixels(const std::function<QRect(QImage&)>& drawing) {
  if (destroyed_) return;
  update(drawing(surface_));
}

void MainWindow::request_repaint(const QRegion& area) {
  frame_to_paint_ += area;
  update(area);
}

void MainWindow::update_now() {
  paint_frame_if_asked();
  repaint();
}

void MainWindow::paint_frame_if_asked() {
  if (frame_to_paint_.isEmpty()) return;
  {
    QPainter painter(&surface_);
    painter.setClipRegion(frame_to_paint_);
    frame_to_paint_ = QRegion();
    paint_window_frame(painter, state_.display, cross_hover_);
    if (frame_overlay_) frame_overlay_(painter);
  }
  ++frame_generation_;
  state_.display.ForceRefetch.store(true, std::memory_order_relaxed);
}

void MainWindow::paintEvent(QPaintEvent* event) {
  paint_frame_if_asked();
  QPainter painter(this);
  // One rectangle clip at a time: the raster engine then copies the rows
  // straight across. Under a clip of several rectangles it would blend span by
  // span, and hand tall areas to its thread pool, waking two threads for each
  // animation frame.
  for (const QRect& part : event->region()) {
    painter.setClipRect(part);
    painter.drawImage(part.topLeft(), surface_, part);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing from outside (the window manager) ends the client like its own close command.
  event->ignore();
  destroy_window();
}

void MainWindow::set_cross_hover(CrossHover hover) {
  if (cross_hover_ == hover) return;
  cross_hover_ = hover;
  draw(kCloseArea, [&](QPainter& painter) { draw_close_cross(painter, state_.display, hover); });
}

void MainWindow::pointer_moved(QPoint point) {
  if (state_.display.CloseCrossShown.load(std::memory_order_relaxed) != CrossVisibility::Hidden)
    set_cross_hover(kCloseArea.contains(point) ? CrossHover::Inside : CrossHover::Outside);
  state_.display.InfoLine.set(hover_text(hover_area(point)));
}

void MainWindow::left_click(QPoint point) {
  const Area area = left_click_area(point, controls_);
  switch (area) {
    case Area::VolumeKnob:
    case Area::MicKnob: {
      const bool volume = area == Area::VolumeKnob;
      const float level = knob_level(grown_for_clicks(volume ? controls_.volume : controls_.mic), point);
      if (commands_.set_master_level) {
        commands_.set_master_level(
            volume ? platform::AudioEndpoint::DefaultRender : platform::AudioEndpoint::DefaultCapture, level);
      }
      break;
    }
    case Area::ParamsButton: run(commands_.toggle_params_window); break;
    case Area::Network: run(commands_.toggle_network_window); break;
    case Area::ChannelPanel: run(commands_.toggle_group_window); break;
    case Area::Documentation: run(commands_.open_documentation); break;
    case Area::Picture:
      // The shared picture belongs to a channel; the welcome channel has none.
      if (relay::current_channel(state_.channel) != 0) run(commands_.toggle_picture_window);
      break;
    case Area::VoiceHelp: run(commands_.toggle_companion); break;
    case Area::Credit: run(commands_.show_about_box); break;
    case Area::CloseCross: destroy_window(); break;
    default: break;
  }
}

void MainWindow::right_click(QPoint point) {
  const Area area = right_click_area(point, controls_);
  if (area == Area::None) state_.display.InfoLine.set(kWelcomeText);
  const std::u16string_view text = spoken_text(area);
  if (!text.empty() && commands_.speak) commands_.speak(text);
}

void MainWindow::key_down(int qt_key, bool keypad, std::uint32_t scan_code) {
  const KeyCommand command = key_command({qt_key, keypad, scan_code});
  switch (command.kind) {
    case KeyCommand::Kind::CloseClient: destroy_window(); break;
    case KeyCommand::Kind::Talk:
      state_.talk.set_key(TalkValue::Pressed);
      space_held_ = true;
      break;
    case KeyCommand::Kind::Channel: relay::select_channel(state_.channel, command.channel); break;
    case KeyCommand::Kind::About: run(commands_.show_about_box); break;
    case KeyCommand::Kind::Inactive: run(commands_.show_inactive_key); break;
  }
}

void MainWindow::key_up(int qt_key) {
  state_.SecondsLeft.store(kCountdownSeconds, std::memory_order_relaxed);
  if (qt_key == Qt::Key_Space) {
    state_.talk.set_key(TalkValue::Released);
    space_held_ = false;
  }
}

// A Space release that goes to another window (a box took the keyboard, the
// member switched windows) would leave the microphone open with nobody
// holding anything: losing the keyboard releases what Space pressed. What the
// speech companion pressed stays pressed.
void MainWindow::release_space() {
  if (!space_held_) return;
  space_held_ = false;
  state_.talk.set_key(TalkValue::Released);
}

void MainWindow::focusOutEvent(QFocusEvent* event) {
  release_space();
  QWidget::focusOutEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
  if ((event->type() == QEvent::ActivationChange && !isActiveWindow()) ||
      (event->type() == QEvent::EnabledChange && !isEnabled()))
    release_space();
  QWidget::changeEvent(event);
}

void MainWindow::hideEvent(QHideEvent* event) {
  release_space();
  QWidget::hideEvent(event);
}

// A held key repeats as release and press pairs on X11: only the first press
// and the last release count, so holding Space keeps the member talking.
void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat())
    key_down(event->key(), event->modifiers().testFlag(Qt::KeypadModifier), event->nativeScanCode());
  event->accept();
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat()) key_up(event->key());
  event->accept();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  // The top band is the window's title bar: it moves the window, and other
  // buttons do nothing there, even where it overlaps a panel.
  if (kDragArea.contains(point)) {
    if (event->button() == Qt::LeftButton && !(windowHandle() && windowHandle()->startSystemMove()))
      drag_offset_ = point;
    return;
  }
  if (event->button() == Qt::LeftButton) left_click(point);
  if (event->button() == Qt::RightButton) right_click(point);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (drag_offset_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - *drag_offset_);
    return;
  }
  pointer_moved(event->position().toPoint());
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) drag_offset_.reset();
}

}  // namespace marvok::ui
