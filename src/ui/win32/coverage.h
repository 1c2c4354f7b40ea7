#pragma once

#include <functional>

#include "screen/colour.h"
#include "screen/geometry.h"
#include "screen/surface.h"

namespace marvok::ui::win32 {

// Shapes by their signed distance: below zero inside, in pixels, the point
// (0, 0) being the top-left corner of the top-left pixel.
struct Vec {
  double x = 0;
  double y = 0;
};
using Distance = std::function<double(Vec)>;

// A line of `width` with round ends.
Distance capsule(Vec from, Vec to, double width);
// A rectangle with corners rounded by circles of `radius`.
Distance rounded_box(double left, double top, double right, double bottom, double radius);
Distance disc(Vec centre, double radius);
// A band of `width` centred on the edge of `shape`.
Distance outline(Distance shape, double width);

enum class Edges {
  // Each pixel takes the colour by the share of it the shape covers.
  Antialiased,
  // A pixel is in or out by its centre.
  Aliased,
};

// Lays `colour` over the pixels of `area` the shape covers. `rows` hold the
// pixels from `origin` on.
void cover(const screen::PixelRows& rows, screen::Point origin, const screen::Rect& area, const Distance& shape,
           screen::Colour colour, Edges edges);

}  // namespace marvok::ui::win32
