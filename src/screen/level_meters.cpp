#include "screen/level_meters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "screen/main_screen.h"

namespace marvok::screen {

namespace {

void draw_level_bar(MainScreen& main, int x_from, int level) {
  const int lit = lit_bar_columns(level);
  main.draw(Rect(x_from, kBarTop, kBarWidth, kBarBottom - kBarTop), [&](Canvas& canvas) {
    // Each column is a one-pixel line whose end row is left out.
    for (int i = 0; i < kBarWidth; ++i) {
      canvas.fill_rect({x_from + i, kBarTop, 1, kBarBottom - kBarTop},
                       i >= lit ? kUnlitBarColour : bar_column_colour(i, kBarWidth));
    }
  });
}

}  // namespace

int drawn_needle_angle(int angle) {
  return angle >= kLowestNeedleAngle && angle <= kHighestNeedleAngle ? angle : kLowestNeedleAngle;
}

Point needle_tip(Point pivot, int angle) {
  const double theta = angle * std::numbers::pi / 180.0;
  return pivot +
         Point{static_cast<int>(kNeedleLength * std::cos(theta)), static_cast<int>(kNeedleLength * std::sin(theta))};
}

int lit_bar_columns(int level, int width) { return std::clamp(level / kBarLevelPerColumn, 0, width); }

Colour bar_column_colour(int column, int width) {
  // The share is rounded to single precision before the double comparisons,
  // which keeps column 105 of 150 on the green ramp and 135 on the red one.
  const double x = static_cast<float>(column) / static_cast<float>(width);
  if (x < 0.7) return {static_cast<std::uint8_t>(x / 0.7 * 255), 255, 0};
  if (x < 0.9) return {255, static_cast<std::uint8_t>(255 - static_cast<int>((x - 0.7) / 0.2 * 255)), 0};
  return {255, 0, 0};
}

void draw_level_bars(MainScreen& main, const LevelMeterState& meters) {
  draw_level_bar(main, kLeftBarX, meters.LeftBarLevel.load(std::memory_order_relaxed));
  draw_level_bar(main, kRightBarX, meters.RightBarLevel.load(std::memory_order_relaxed));
}

NeedleMeterScreen::NeedleMeterScreen(MeterSide side, const LevelMeterState& meters, Picture dial)
    : side_(side), meters_(meters), dial_(std::move(dial)) {}

void NeedleMeterScreen::redraw(Surface& surface, MainScreen& main) {
  const std::int32_t angle =
      (side_ == MeterSide::Left ? meters_.LeftNeedleAngle : meters_.RightNeedleAngle).load(std::memory_order_relaxed);
  // The bars share the left meter's timer; they are drawn again when they change
  // or when the main window's frame was painted over them.
  if (side_ == MeterSide::Left) {
    const BarsDrawn bars{lit_bar_columns(meters_.LeftBarLevel.load(std::memory_order_relaxed)),
                         lit_bar_columns(meters_.RightBarLevel.load(std::memory_order_relaxed)),
                         main.frame_generation()};
    if (bars != drawn_bars_) draw_level_bars(main, meters_);
    drawn_bars_ = bars;
  }
  if (drawn_needle_angle(angle) == drawn_angle_) return;
  drawn_angle_ = drawn_needle_angle(angle);
  surface.paint([&](Canvas& canvas) {
    canvas.picture({0, 0}, dial_);
    // Without a dial its size is 0 x 0, so the needle pivots at the corner.
    const Point pivot{dial_.width / 2, dial_.height};
    canvas.line(pivot, needle_tip(pivot, drawn_angle_), kNeedlePenWidth, kNeedleColour, Antialias::Off);
  });
  surface.present(Rect({0, 0}, kNeedleMeterSize));
}

}  // namespace marvok::screen
