#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <array>

#include "audio/level_meter.h"

namespace marvok::ui {

class MainWindow;

// The two needle meters above the bars: where they sit and how they look.
inline constexpr QSize kNeedleMeterSize{150, 84};
inline constexpr QPoint kLeftNeedleMeterPosition{200, 80};
inline constexpr QPoint kRightNeedleMeterPosition{370, 80};
inline constexpr int kNeedleLength = 70;
inline constexpr int kNeedlePenWidth = 3;
// Angles in degrees, y growing downward: 218 points up-left, 270 straight up.
inline constexpr int kLowestNeedleAngle = 218;
inline constexpr int kHighestNeedleAngle = 320;
inline const QColor kNeedleColour(80, 80, 255);
inline const QColor kNeedleMeterBackground(128, 128, 128);

// The two bars under the meters, on the main window's surface; x and y ends excluded.
inline constexpr int kBarWidth = 150;
inline constexpr int kLeftBarX = 200;
inline constexpr int kRightBarX = 370;
inline constexpr int kBarTop = 166;
inline constexpr int kBarBottom = 176;
inline constexpr int kBarLevelPerColumn = 128;
inline const QColor kUnlitBarColour(255, 255, 255);

enum class MeterSide { Left, Right };

// The angle the needle is drawn at: out-of-range angles, such as the 0 held
// before the first measurement, rest the needle at the lowest mark.
int drawn_needle_angle(int angle);

// The tip of a needle of `kNeedleLength` pivoting at `pivot`, each offset
// truncated toward zero.
QPoint needle_tip(QPoint pivot, int angle);

// How many columns of a bar `level` lights.
int lit_bar_columns(int level, int width = kBarWidth);

// The colour of lit column `column` of a bar `width` columns wide: a ramp
// from green to yellow over the first 70 %, then to red by 90 %, then red.
QColor bar_column_colour(int column, int width);

// One needle meter, a child of the main window. It draws on its own backing
// image at each tick of the panels' 50 ms clock; the left one also draws the
// bars on the main window.
class NeedleMeter final : public QWidget {
  Q_OBJECT

 public:
  NeedleMeter(MainWindow& main, MeterSide side, const LevelMeterState& meters);

  // Copies the dial, draws the needle at the current angle and shows the result.
  void redraw();

  const QImage& surface() const { return surface_; }
  const QImage& dial() const { return dial_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  MainWindow& main_;
  MeterSide side_;
  const LevelMeterState& meters_;
  // What is on the surface, so an unchanged needle is not drawn again.
  int drawn_angle_ = -1;
  struct BarsDrawn {
    int left_lit = -1;
    int right_lit = -1;
    int frame_generation = -1;
    bool operator==(const BarsDrawn&) const = default;
  };
  BarsDrawn drawn_bars_;
  QImage dial_;
  QImage surface_;
};

// The two meters while the main window, which owns them, lets them live.
using LevelMeters = std::array<QPointer<NeedleMeter>, 2>;

// Creates the left and right needle meters on the main window. The dial is
// "vu_meter_2.bmp" in the current folder; without it only the needle is drawn.
LevelMeters create_level_meters(MainWindow& main, const LevelMeterState& meters);
// The meters' 50 ms step: each one still alive draws its needle.
void redraw_level_meters(const LevelMeters& meters);

// Draws the left bar, then the right bar, from the current bar levels.
void draw_level_bars(MainWindow& main, const LevelMeterState& meters);

}  // namespace marvok::ui
