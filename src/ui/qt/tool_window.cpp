#include "ui/qt/tool_window.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cstdint>

#include "ui/qt/window_growth.h"

namespace marvok::ui {

ToolWindow::ToolWindow(QWidget& main, const screen::ToolWindowLook& look, QPoint position,
                       const MakeScreen& make_screen)
    : QWidget(&main, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      look_(look),
      surface_(QSize(look.size.width, look.size.height), [this](const QRegion& area) { update(area); }) {
  setObjectName(QString::fromLatin1(look.class_name.data(), static_cast<qsizetype>(look.class_name.size())));
  setWindowTitle(QString::fromUtf16(look.title.data(), static_cast<qsizetype>(look.title.size())));
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_OpaquePaintEvent);
  move(position);
  resize(screen::kOpeningSize.width, screen::kOpeningSize.height);
  connect(&timer_, &QTimer::timeout, this, &ToolWindow::tick);
  screen_ = make_screen(*this, surface_);
}

ToolWindow::~ToolWindow() = default;

void ToolWindow::start() {
  ready_ = true;
  if (look_.fixed_once_grown) setFixedSize(size());
  screen_->start();
  update();
  if (look_.tick_period) timer_.start(*look_.tick_period);
}

void ToolWindow::tick() {
  if (ready_ && !closing_) screen_->tick();
}

screen::Size ToolWindow::outer_size() const { return {frameGeometry().width(), frameGeometry().height()}; }

void ToolWindow::paintEvent(QPaintEvent*) {
  if (screen_->before_paint() == screen::PaintOutcome::Close) {
    // Not from inside a paint: the close comes once it is over.
    closing_ = true;
    QTimer::singleShot(0, this, [this] { close(); });
    return;
  }
  QPainter(this).drawImage(QPoint(0, 0), surface_.image());
}

void ToolWindow::mousePressEvent(QMouseEvent* event) {
  // Presses during the opening are not for the content yet.
  if (event->button() != Qt::LeftButton || !ready_) {
    QWidget::mousePressEvent(event);
    return;
  }
  // The position comes as two signed 16-bit halves, as the system gives it.
  const QPoint at = event->position().toPoint();
  // The content may close the window, which its own event loop (a picker) may then delete: nothing follows.
  screen_->left_press({static_cast<std::int16_t>(at.x()), static_cast<std::int16_t>(at.y())});
}

void ToolWindow::closeEvent(QCloseEvent* event) {
  closing_ = true;
  timer_.stop();
  event->accept();
}

bool show_grown(const QPointer<ToolWindow>& window, const screen::Growth& growth, screen::GrowthPauses pauses) {
  window->show();
  if (!grow(window, growth, pauses)) return false;
  window->start();
  return true;
}

}  // namespace marvok::ui
