#pragma once

#include "audio/level_meter.h"
#include "screen/canvas.h"
#include "screen/surface.h"
#include "state/picture.h"

namespace marvok::screen {

class MainScreen;

// The two needle meters above the bars: where they sit and how they look.
inline constexpr Size kNeedleMeterSize{150, 84};
inline constexpr Point kLeftNeedleMeterPosition{200, 80};
inline constexpr Point kRightNeedleMeterPosition{370, 80};
inline constexpr int kNeedleLength = 70;
inline constexpr int kNeedlePenWidth = 3;
// Angles in degrees, y growing downward: 218 points up-left, 270 straight up.
inline constexpr int kLowestNeedleAngle = 218;
inline constexpr int kHighestNeedleAngle = 320;
inline constexpr Colour kNeedleColour{80, 80, 255};
inline constexpr Colour kNeedleMeterBackground{128, 128, 128};

// The two bars under the meters, on the main window's surface; x and y ends excluded.
inline constexpr int kBarWidth = 150;
inline constexpr int kLeftBarX = 200;
inline constexpr int kRightBarX = 370;
inline constexpr int kBarTop = 166;
inline constexpr int kBarBottom = 176;
inline constexpr int kBarLevelPerColumn = 128;
inline constexpr Colour kUnlitBarColour{255, 255, 255};

enum class MeterSide { Left, Right };

// The angle the needle is drawn at: out-of-range angles, such as the 0 held
// before the first measurement, rest the needle at the lowest mark.
int drawn_needle_angle(int angle);

// The tip of a needle of `kNeedleLength` pivoting at `pivot`, each offset
// truncated toward zero.
Point needle_tip(Point pivot, int angle);

// How many columns of a bar `level` lights.
int lit_bar_columns(int level, int width = kBarWidth);

// The colour of lit column `column` of a bar `width` columns wide: a ramp
// from green to yellow over the first 70 %, then to red by 90 %, then red.
Colour bar_column_colour(int column, int width);

// Draws the left bar, then the right bar, from the current bar levels.
void draw_level_bars(MainScreen& main, const LevelMeterState& meters);

// One needle meter: its dial and its needle on a surface of its own, redrawn
// at each tick of the panels' clock when the needle moved. The left one also
// draws the bars on the main window.
class NeedleMeterScreen {
 public:
  // `dial` is "vu_meter_2.bmp"; without it only the needle is drawn.
  NeedleMeterScreen(MeterSide side, const LevelMeterState& meters, Picture dial);

  void redraw(Surface& surface, MainScreen& main);
  const Picture& dial() const { return dial_; }

 private:
  MeterSide side_;
  const LevelMeterState& meters_;
  Picture dial_;
  // What is on the surface, so an unchanged needle is not drawn again.
  int drawn_angle_ = -1;
  struct BarsDrawn {
    int left_lit = -1;
    int right_lit = -1;
    int frame_generation = -1;
    bool operator==(const BarsDrawn&) const = default;
  };
  BarsDrawn drawn_bars_;
};

}  // namespace marvok::screen
