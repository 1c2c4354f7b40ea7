#include "ui/network_window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "relay/member_table.h"
#include "state/session_state.h"
#include "ui/window_growth.h"

namespace marvok::ui {

namespace {

const QColor kNetworkBackground(255, 255, 0);
const QColor kEmptyCellColour(0, 255, 0);
constexpr QSize kPictureCellSize{66, 83};
constexpr int kGridLeft = 10;
constexpr int kGridTop = 10;
constexpr int kColumnStep = 71;
constexpr int kPictureRowStep = 88;
constexpr int kLastColumnX = 290;
constexpr int kMsPerSecond = 1000;

}  // namespace

void draw_correspondents(QPainter& painter, const ChannelState& channel, const relay::MemberTable& members,
                         const PictureSource& pictures) {
  const int n = channel.ChannelPort.load(std::memory_order_relaxed) - kFirstChannelPort;
  // Counts are clamped so that a damaged list cannot read past the table.
  int count = 0;
  if (relay::is_channel(n)) {
    count =
        std::clamp<int>(members.ChannelMemberCounts[n].load(std::memory_order_relaxed), 0, relay::kMaxListedMembers);
  }

  int x = kGridLeft, y = kGridTop;
  const auto advance = [&] {
    x += kColumnStep;
    if (x > kLastColumnX) {
      x = kGridLeft;
      y += kPictureRowStep;
    }
  };
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  for (int i = 0; pictures && i < count; ++i) {
    const auto member = static_cast<std::uint16_t>(members.ChannelMembers[n][i].load(std::memory_order_relaxed));
    const std::optional<QImage> picture = pictures(member);
    if (!picture) continue;
    if (!picture->isNull()) painter.drawImage(QRect(QPoint(x, y), kPictureCellSize), *picture);
    advance();
  }
  // Counted from the list's length, not from the cells used: members without
  // a picture leave the last places empty.
  for (int i = count; i < relay::kMaxListedMembers; ++i) {
    painter.fillRect(QRect(QPoint(x, y), kPictureCellSize), kEmptyCellColour);
    advance();
  }
  painter.restore();
}

NetworkWindow::NetworkWindow(QWidget& main, const ChannelState& channel, const relay::MemberTable& members,
                             PictureSource pictures, QPoint position)
    : QWidget(&main, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      channel_(channel),
      members_(members),
      pictures_(std::move(pictures)),
      surface_(kNetworkWindowSize, QImage::Format_RGB32) {
  setObjectName(QStringLiteral("NetworkWndClass"));
  setWindowTitle(QStringLiteral("Marvok Network"));
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_OpaquePaintEvent);
  surface_.fill(kNetworkBackground);
  move(position);
  resize(10, 10);
  connect(&timer_, &QTimer::timeout, this, &NetworkWindow::tick);
}

void NetworkWindow::start() {
  ready_ = true;
  update();
  timer_.start(kMsPerSecond);
}

void NetworkWindow::tick() {
  if (!ready_ || closing_) return;
  if (on_channel_zero()) {
    close();
    return;
  }
  const std::int32_t count = channel_.ChannelMemberCount.load(std::memory_order_relaxed);
  if (count == last_drawn_count_) return;
  last_drawn_count_ = count;
  repaint();
}

bool NetworkWindow::on_channel_zero() const {
  return channel_.ChannelPort.load(std::memory_order_relaxed) == kFirstChannelPort;
}

void NetworkWindow::paintEvent(QPaintEvent*) {
  if (on_channel_zero()) {
    // Not from inside a paint: the close comes once it is over.
    closing_ = true;
    QTimer::singleShot(0, this, [this] { close(); });
    return;
  }
  if (ready_) {
    // The grid drawn here is the one the next tick compares against, so the
    // opening paint is not followed by a second full download a second later.
    last_drawn_count_ = channel_.ChannelMemberCount.load(std::memory_order_relaxed);
    QPainter painter(&surface_);
    painter.fillRect(surface_.rect(), kNetworkBackground);
    draw_correspondents(painter, channel_, members_, pictures_);
  }
  QPainter(this).drawImage(QPoint(0, 0), surface_);
}

void NetworkWindow::closeEvent(QCloseEvent* event) {
  closing_ = true;
  timer_.stop();
  event->accept();
}

NetworkWindowToggle::NetworkWindowToggle(QWidget& main, const ChannelState& channel, const relay::MemberTable& members,
                                         PictureSource pictures, std::chrono::milliseconds growth_pause)
    : main_(main), channel_(channel), members_(members), pictures_(std::move(pictures)), growth_pause_(growth_pause) {}

NetworkWindow* NetworkWindowToggle::window() const { return window_ && !window_->closing() ? window_.data() : nullptr; }

int NetworkWindowToggle::toggle() {
  if (channel_.ChannelPort.load(std::memory_order_relaxed) == kFirstChannelPort) return 1;
  if (NetworkWindow* open = window()) {
    open->close();
    return 1;
  }

  // The edge just past the main window's frame.
  const QRect frame = main_.frameGeometry();
  const int right = frame.x() + frame.width(), top = frame.y();
  const QPointer<NetworkWindow> window =
      new NetworkWindow(main_, channel_, members_, pictures_, QPoint(right - 50, top + 200));
  window->winId();
  if (window->windowHandle() == nullptr || window->windowHandle()->handle() == nullptr) {
    delete window.data();
    return 0;
  }
  window_ = window;

  window->show();
  for (int s = 0; s <= 200; s += 20)
    if (!grow_step(window, QPoint(right - 50 + s / 4, top + 200 - s), QSize(s, s), growth_pause_)) return 1;
  const QRect grown(window->pos(), window->size());
  for (int s = 0; s <= 260; s += 10) {
    const QSize size(std::min(grown.width() + s, kNetworkWindowSize.width()), grown.height() + s);
    if (!grow_step(window, grown.topLeft(), size, growth_pause_)) return 1;
  }
  window->start();
  main_.activateWindow();
  return 1;
}

}  // namespace marvok::ui
