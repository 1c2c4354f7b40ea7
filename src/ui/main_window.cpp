#include "ui/main_window.h"

#include <QCloseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include "state/session_state.h"
#include "ui/colorref.h"
#include "ui/main_window_layout.h"
#include "ui/window_frame.h"

namespace marvok::ui {

QRegion rounded_window_region() {
  QPainterPath outline;
  outline.addRoundedRect(QRectF(QPoint(0, 0), kMainWindowSize), 10, 10);
  return QRegion(outline.toFillPolygon().toPolygon());
}

MainWindow::MainWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), surface_(kMainWindowSize, QImage::Format_RGB32) {
  setWindowTitle(QStringLiteral("MARVOK"));
  setFixedSize(kMainWindowSize);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMask(rounded_window_region());
  surface_.fill(from_colorref(Session.display.BackgroundColor.load(std::memory_order_relaxed)));
  frame_to_paint_ = QRegion(rect());
}

void MainWindow::destroy_window() {
  if (destroyed_) return;
  destroyed_ = true;
  hide();
  if (on_destroy_) on_destroy_();
  deleteLater();
}

void MainWindow::draw(const QRect& area, const std::function<void(QPainter&)>& drawing) {
  if (destroyed_) return;
  {
    QPainter painter(&surface_);
    drawing(painter);
  }
  update(area);
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
  QPainter painter(&surface_);
  painter.setClipRegion(frame_to_paint_);
  frame_to_paint_ = QRegion();
  paint_window_frame(painter);
}

void MainWindow::paintEvent(QPaintEvent* event) {
  paint_frame_if_asked();
  QPainter painter(this);
  for (const QRect& part : event->region()) painter.drawImage(part, surface_, part);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing from outside (the window manager) ends the client like its own close command.
  event->ignore();
  destroy_window();
}

}  // namespace marvok::ui
