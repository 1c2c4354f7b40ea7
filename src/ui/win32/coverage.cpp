#include "ui/win32/coverage.h"

#include <algorithm>
#include <cmath>

namespace marvok::ui::win32 {

namespace {

// Samples per pixel side where the edge passes: 256 shares, as many as a colour channel has levels.
constexpr int kGrid = 16;
// A pixel whose centre is farther than this from the edge lies wholly on one side.
constexpr double kHalfDiagonal = 0.7072;
// Aliased shapes take a pixel whose centre lies on their edge when the edge
// is right of or below it only, as Qt's rasteriser does: a line of width 3 is
// 3 pixels wide, not 4.
constexpr double kTieBreak = 1.0 / 256;

std::uint32_t blend(std::uint32_t under, screen::Colour colour, int share) {
  const auto mix = [share](std::uint32_t from, std::uint32_t to) {
    return static_cast<std::uint32_t>(
        (static_cast<int>(from) * (kGrid * kGrid - share) + static_cast<int>(to) * share + kGrid * kGrid / 2) /
        (kGrid * kGrid));
  };
  return mix(under >> 16 & 0xFF, colour.red) << 16 | mix(under >> 8 & 0xFF, colour.green) << 8 |
         mix(under & 0xFF, colour.blue);
}

int covered_share(const Distance& shape, double x, double y) {
  int inside = 0;
  for (int i = 0; i < kGrid; ++i) {
    for (int j = 0; j < kGrid; ++j) {
      if (shape({x + (j + 0.5) / kGrid, y + (i + 0.5) / kGrid}) <= 0) ++inside;
    }
  }
  return inside;
}

}  // namespace

Distance capsule(Vec from, Vec to, double width) {
  return [=](Vec p) {
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? std::clamp(((p.x - from.x) * dx + (p.y - from.y) * dy) / length2, 0.0, 1.0) : 0.0;
    return std::hypot(p.x - (from.x + t * dx), p.y - (from.y + t * dy)) - width / 2;
  };
}

Distance rounded_box(double left, double top, double right, double bottom, double radius) {
  const double half_w = (right - left) / 2, half_h = (bottom - top) / 2;
  const double r = std::clamp(radius, 0.0, std::min(half_w, half_h));
  const Vec centre{(left + right) / 2, (top + bottom) / 2};
  return [=](Vec p) {
    const double qx = std::abs(p.x - centre.x) - (half_w - r), qy = std::abs(p.y - centre.y) - (half_h - r);
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
  };
}

Distance disc(Vec centre, double radius) {
  return [=](Vec p) { return std::hypot(p.x - centre.x, p.y - centre.y) - radius; };
}

Distance outline(Distance shape, double width) {
  return [shape = std::move(shape), width](Vec p) { return std::abs(shape(p)) - width / 2; };
}

void cover(const screen::PixelRows& rows, screen::Point origin, const screen::Rect& area, const Distance& shape,
           screen::Colour colour, Edges edges) {
  const screen::Rect held(origin, rows.size);
  const screen::Rect drawn = area.intersected(held);
  for (int y = drawn.top(); y <= drawn.bottom(); ++y) {
    std::uint32_t* row = rows.row(y - origin.y);
    for (int x = drawn.left(); x <= drawn.right(); ++x) {
      int share = 0;
      if (edges == Edges::Aliased) {
        share = shape({x + 0.5 - kTieBreak, y + 0.5 - kTieBreak}) < 0 ? kGrid * kGrid : 0;
      } else {
        const double centre = shape({x + 0.5, y + 0.5});
        share = std::abs(centre) < kHalfDiagonal ? covered_share(shape, x, y) : centre <= 0 ? kGrid * kGrid : 0;
      }
      if (share > 0) row[x - origin.x] = blend(row[x - origin.x], colour, share);
    }
  }
}

}  // namespace marvok::ui::win32
