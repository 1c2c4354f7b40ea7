#include "ui/level_meters.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "audio/level_meter.h"
#include "platform/pictures.h"
#include "ui/main_window.h"
#include "ui/picture_image.h"

namespace marvok::ui {

namespace {

constexpr char kDialFileName[] = "vu_meter_2.bmp";

void draw_level_bar(MainWindow& main, int x_from, int level) {
  const int lit = lit_bar_columns(level);
  const QRect area(x_from, kBarTop, kBarWidth, kBarBottom - kBarTop);
  main.draw(area, [&](QPainter& painter) {
    // Each column is a one-pixel line whose end row is left out.
    for (int i = 0; i < kBarWidth; ++i) {
      painter.fillRect(QRect(x_from + i, kBarTop, 1, kBarBottom - kBarTop),
                       i >= lit ? kUnlitBarColour : bar_column_colour(i, kBarWidth));
    }
  });
}

}  // namespace

int drawn_needle_angle(int angle) {
  return angle >= kLowestNeedleAngle && angle <= kHighestNeedleAngle ? angle : kLowestNeedleAngle;
}

QPoint needle_tip(QPoint pivot, int angle) {
  const double theta = angle * std::numbers::pi / 180.0;
  return pivot +
         QPoint(static_cast<int>(kNeedleLength * std::cos(theta)), static_cast<int>(kNeedleLength * std::sin(theta)));
}

int lit_bar_columns(int level, int width) { return std::clamp(level / kBarLevelPerColumn, 0, width); }

QColor bar_column_colour(int column, int width) {
  // The share is rounded to single precision before the double comparisons,
  // which keeps column 105 of 150 on the green ramp and 135 on the red one.
  const double x = static_cast<float>(column) / static_cast<float>(width);
  if (x < 0.7) return QColor(static_cast<int>(x / 0.7 * 255), 255, 0);
  if (x < 0.9) return QColor(255, 255 - static_cast<int>((x - 0.7) / 0.2 * 255), 0);
  return QColor(255, 0, 0);
}

NeedleMeter::NeedleMeter(MainWindow& main, MeterSide side, const LevelMeterState& meters)
    : QWidget(&main),
      main_(main),
      side_(side),
      meters_(meters),
      dial_(to_qimage(platform::load_picture_file(kDialFileName, platform::PictureFormat::Bmp))
                .convertToFormat(QImage::Format_RGB32)),
      surface_(kNeedleMeterSize, QImage::Format_RGB32) {
  setObjectName(side == MeterSide::Left ? QStringLiteral("VuMeterLeftClass") : QStringLiteral("VuMeterRightClass"));
  setGeometry(QRect(side == MeterSide::Left ? kLeftNeedleMeterPosition : kRightNeedleMeterPosition, kNeedleMeterSize));
  QPalette grey = palette();
  grey.setColor(QPalette::Window, kNeedleMeterBackground);
  setPalette(grey);
  setAutoFillBackground(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The background shows until the first tick, and for good wherever no dial covers it.
  surface_.fill(kNeedleMeterBackground);
}

void NeedleMeter::redraw() {
  const std::int32_t angle =
      (side_ == MeterSide::Left ? meters_.LeftNeedleAngle : meters_.RightNeedleAngle).load(std::memory_order_relaxed);
  // The bars share the left meter's timer; they are drawn again when they change
  // or when the main window's frame was painted over them.
  if (side_ == MeterSide::Left) {
    const BarsDrawn bars{lit_bar_columns(meters_.LeftBarLevel.load(std::memory_order_relaxed)),
                         lit_bar_columns(meters_.RightBarLevel.load(std::memory_order_relaxed)),
                         main_.frame_generation()};
    if (bars != drawn_bars_) draw_level_bars(main_, meters_);
    drawn_bars_ = bars;
  }
  if (drawn_needle_angle(angle) == drawn_angle_) return;
  drawn_angle_ = drawn_needle_angle(angle);
  {
    QPainter painter(&surface_);
    painter.drawImage(QPoint(0, 0), dial_);
    painter.setPen(QPen(kNeedleColour, kNeedlePenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // Without a dial its size is 0 x 0, so the needle pivots at the corner.
    const QPoint pivot(dial_.width() / 2, dial_.height());
    painter.drawLine(pivot, needle_tip(pivot, drawn_needle_angle(angle)));
  }
  update();
}

void NeedleMeter::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  for (const QRect& part : event->region()) painter.drawImage(part, surface_, part);
}

LevelMeters create_level_meters(MainWindow& main, const LevelMeterState& meters) {
  LevelMeters created;
  for (const MeterSide side : {MeterSide::Left, MeterSide::Right}) {
    auto* meter = new NeedleMeter(main, side, meters);  // owned by the main window
    meter->show();
    created[side == MeterSide::Left ? 0 : 1] = meter;
  }
  return created;
}

void redraw_level_meters(const LevelMeters& meters) {
  for (const QPointer<NeedleMeter>& meter : meters)
    if (meter) meter->redraw();
}

void draw_level_bars(MainWindow& main, const LevelMeterState& meters) {
  draw_level_bar(main, kLeftBarX, meters.LeftBarLevel.load(std::memory_order_relaxed));
  draw_level_bar(main, kRightBarX, meters.RightBarLevel.load(std::memory_order_relaxed));
}

}  // namespace marvok::ui
