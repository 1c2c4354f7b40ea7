#include "ui/qt/level_meters.h"

#include <QPaintEvent>
#include <QPainter>

#include "platform/pictures.h"
#include "ui/qt/main_window.h"

namespace marvok::ui {

namespace {

constexpr char kDialFileName[] = "vu_meter_2.bmp";
const QSize kMeterSize(screen::kNeedleMeterSize.width, screen::kNeedleMeterSize.height);

}  // namespace

NeedleMeter::NeedleMeter(MainWindow& main, screen::MeterSide side, const LevelMeterState& meters)
    : QWidget(&main),
      main_(main),
      meter_(side, meters, platform::load_picture_file(kDialFileName, platform::PictureFormat::Bmp)),
      surface_(kMeterSize, [this](const QRegion& area) { update(area); }) {
  const bool left = side == screen::MeterSide::Left;
  setObjectName(left ? QStringLiteral("VuMeterLeftClass") : QStringLiteral("VuMeterRightClass"));
  setGeometry(
      QRect(to_qpoint(left ? screen::kLeftNeedleMeterPosition : screen::kRightNeedleMeterPosition), kMeterSize));
  QPalette grey = palette();
  grey.setColor(QPalette::Window, to_qcolor(screen::kNeedleMeterBackground));
  setPalette(grey);
  setAutoFillBackground(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The background shows until the first tick, and for good wherever no dial covers it.
  surface_.image().fill(to_qcolor(screen::kNeedleMeterBackground));
}

void NeedleMeter::redraw() { meter_.redraw(surface_, main_.screen()); }

void NeedleMeter::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  for (const QRect& part : event->region()) painter.drawImage(part, surface_.image(), part);
}

LevelMeters create_level_meters(MainWindow& main, const LevelMeterState& meters) {
  LevelMeters created;
  for (const screen::MeterSide side : {screen::MeterSide::Left, screen::MeterSide::Right}) {
    auto* meter = new NeedleMeter(main, side, meters);  // owned by the main window
    meter->show();
    created[side == screen::MeterSide::Left ? 0 : 1] = meter;
  }
  return created;
}

void redraw_level_meters(const LevelMeters& meters) {
  for (const QPointer<NeedleMeter>& meter : meters)
    if (meter) meter->redraw();
}

}  // namespace marvok::ui
