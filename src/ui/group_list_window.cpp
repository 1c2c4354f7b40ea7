#include "ui/group_list_window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFont>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "relay/member_table.h"
#include "ui/text_drawing.h"
#include "ui/window_growth.h"

namespace marvok::ui {

namespace {

const QColor kGroupBackground(0, 0, 255);
const QColor kCellColour(0, 255, 0);
const QColor kCurrentRowColour(255, 0, 0);
const QColor kPreviousRowColour(100, 150, 255);
const QColor kTextColour(255, 255, 255);
constexpr int kCellLeft = 20;
constexpr int kCellStep = 38;
constexpr QSize kCellSize{33, 41};
constexpr int kRowStep = 51;
constexpr int kLabelPixels = 12;
constexpr int kWarningPixels = 15;
constexpr int kSecondMs = 1000;

// The widening stops at 646 and adds 20, so the window ends 666 wide.
constexpr int kGrownWidthBeforeFrame = 646;
constexpr int kFrameAllowance = 20;

QFont segoe_font(int pixels) {
  QFont font(QStringLiteral("Segoe UI"));
  font.setWeight(QFont::Normal);
  font.setPixelSize(pixels);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

// White text centred both ways, over whatever is already there; it may run
// past the box rather than be cut.
void draw_centred_white(QPainter& painter, const QRect& box, const QString& text, int pixels) {
  painter.save();
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setFont(segoe_font(pixels));
  painter.setPen(kTextColour);
  painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
  painter.restore();
}

// Row d (1 to 10) shows channel d.
int group_row_top(int row) { return kRowStep * row - 41; }

QRect group_cell_rect(int row, int cell) {
  return QRect(QPoint(kCellLeft + kCellStep * cell, group_row_top(row)), kCellSize);
}

QRect group_row_label_rect(int row) { return edges(2, group_row_top(row) + 10, 17, group_row_top(row) + 25); }

// `outer_width` is the window's width frame included, as the markers are
// placed from the outer edge.
QRect group_row_marker_rect(int row, int outer_width) {
  return edges(outer_width - 35, kRowStep * row - 30, outer_width - 25, kRowStep * row - 20);
}

int previous_row(int row) { return row == 1 ? kGroupListRows : row - 1; }

}  // namespace

GroupListWindow::GroupListWindow(QWidget& main, const relay::MemberTable& members, PictureSource pictures,
                                 int& next_row, QPoint position)
    : QWidget(&main, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      members_(members),
      pictures_(std::move(pictures)),
      next_row_(next_row) {
  setObjectName(QStringLiteral("GroupWndClass"));
  setWindowTitle(QStringLiteral("Marvok Group List"));
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_OpaquePaintEvent);
  move(position);
  resize(10, 10);
  connect(&timer_, &QTimer::timeout, this, &GroupListWindow::tick);
}

void GroupListWindow::start() {
  ready_ = true;
  // The rows are laid out for this size only.
  setFixedSize(size());
  surface_ = QImage(size(), QImage::Format_RGB32);
  {
    QPainter painter(&surface_);
    QLinearGradient gradient(0, 0, 0, surface_.height());
    gradient.setColorAt(0, Qt::black);
    gradient.setColorAt(1, Qt::white);
    painter.fillRect(surface_.rect(), gradient);
  }
  update();
  timer_.start(kSecondMs);
}

void GroupListWindow::tick() {
  if (!ready_ || closing_ || surface_.isNull()) return;
  // The counter lives outside the window; it is kept in range even if
  // something else disturbed it.
  if (next_row_ < 1 || next_row_ > kGroupListRows) next_row_ = 1;
  draw_row(next_row_);
  next_row_ = next_row_ % kGroupListRows + 1;
  draw_warning();
  update();
}

void GroupListWindow::draw_row(int row) {
  QPainter painter(&surface_);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  for (int cell = 0; cell < kGroupListCellsPerRow; ++cell) painter.fillRect(group_cell_rect(row, cell), kCellColour);

  // The relay's count is clamped so that a damaged list cannot read past
  // the table. Members past the sixteenth have no cell and are not shown:
  // the table holds no more than sixteen per channel anyway.
  const int count =
      std::clamp<int>(members_.ChannelMemberCounts[row].load(std::memory_order_relaxed), 0, kGroupListCellsPerRow);
  int x = kCellLeft;
  for (int i = 0; pictures_ && i < count; ++i) {
    const auto member = static_cast<std::uint16_t>(members_.ChannelMembers[row][i].load(std::memory_order_relaxed));
    const std::optional<QImage> picture = pictures_(member);
    // Nothing came: the next member takes this cell.
    if (!picture) continue;
    // A picture that could not be decoded leaves its cell green.
    if (!picture->isNull()) painter.drawImage(QRect(QPoint(x, group_row_top(row)), kCellSize), *picture);
    x += kCellStep;
  }

  draw_centred_white(painter, group_row_label_rect(row), QString::asprintf("%02d", row), kLabelPixels);

  const int outer_width = frameGeometry().width();
  painter.fillRect(group_row_marker_rect(row, outer_width), kCurrentRowColour);
  painter.fillRect(group_row_marker_rect(previous_row(row), outer_width), kPreviousRowColour);
}

void GroupListWindow::draw_warning() {
  QPainter painter(&surface_);
  const int right = surface_.width();
  draw_centred_white(painter, edges(0, 550, right, 565),
                     QStringLiteral("Ne pas laisser cette fenêtre longtemps ouverte"), kWarningPixels);
  draw_centred_white(painter, edges(0, 570, right, 585),
                     QStringLiteral("car elle consomme beaucoup de ressources réseau"), kWarningPixels);
}

void GroupListWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (surface_.isNull()) {
    painter.fillRect(rect(), kGroupBackground);
  } else {
    painter.drawImage(QPoint(0, 0), surface_);
  }
}

void GroupListWindow::closeEvent(QCloseEvent* event) {
  closing_ = true;
  ready_ = false;
  timer_.stop();
  surface_ = QImage();
  event->accept();
}

GroupListWindowToggle::GroupListWindowToggle(QWidget& main, const relay::MemberTable& members, PictureSource pictures,
                                             GroupListGrowthPauses pauses)
    : main_(main), members_(members), pictures_(std::move(pictures)), pauses_(pauses) {}

// The window refers to the row counter kept here.
GroupListWindowToggle::~GroupListWindowToggle() { delete window_.data(); }

GroupListWindow* GroupListWindowToggle::window() const {
  return window_ && !window_->closing() ? window_.data() : nullptr;
}

void GroupListWindowToggle::toggle() {
  if (GroupListWindow* open = window()) {
    open->close();
    return;
  }

  const QRect main_frame = main_.frameGeometry();
  const QPoint origin = main_frame.topLeft() + QPoint(100, 135);
  const QPointer<GroupListWindow> window = new GroupListWindow(main_, members_, pictures_, next_row_, origin);
  window_ = window;
  window->show();

  for (int s = 0; s <= 200; s += 20)
    if (!grow_step(window, origin + QPoint(s / 4, -s), QSize(s, s), pauses_.first_stage)) return;
  const QRect grown(window->pos(), window->size());
  for (int s = 0; s <= 600; s += 10) {
    const QSize size(std::min(grown.width() + s, kGrownWidthBeforeFrame) + kFrameAllowance,
                     std::min(grown.height() + s, kGroupListWindowSize.height()));
    if (!grow_step(window, grown.topLeft(), size, pauses_.second_stage)) return;
  }
  window->start();
  main_.raise();
  main_.activateWindow();
}

}  // namespace marvok::ui
