#pragma once

#include <QPointer>
#include <QWidget>
#include <array>

#include "audio/level_meter.h"
#include "screen/level_meters.h"
#include "ui/qt/qt_canvas.h"

namespace marvok::ui {

class MainWindow;

// One needle meter, a child of the main window, with its own backing image.
class NeedleMeter final : public QWidget {
  Q_OBJECT

 public:
  NeedleMeter(MainWindow& main, screen::MeterSide side, const LevelMeterState& meters);

  // The 50 ms step of the panels' clock.
  void redraw();

  const QImage& surface() const { return surface_.image(); }
  const Picture& dial() const { return meter_.dial(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  MainWindow& main_;
  screen::NeedleMeterScreen meter_;
  ImageSurface surface_;
};

// The two meters while the main window, which owns them, lets them live.
using LevelMeters = std::array<QPointer<NeedleMeter>, 2>;

// Creates the left and right needle meters on the main window. The dial is
// "vu_meter_2.bmp" in the current folder; without it only the needle is drawn.
LevelMeters create_level_meters(MainWindow& main, const LevelMeterState& meters);
// The meters' 50 ms step: each one still alive draws its needle.
void redraw_level_meters(const LevelMeters& meters);

}  // namespace marvok::ui
