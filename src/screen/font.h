#pragma once

namespace marvok::screen {

enum class Typeface {
  Arial,
  SegoeUi,
  // What a window draws in when no font is chosen: bold, 16-pixel lines.
  WindowDefault,
};

enum class FontWeight { Normal, Bold };

// A font by the height of its line, ascent plus descent, in pixels: the height
// the windows' layouts are measured in.
struct Font {
  Typeface typeface = Typeface::Arial;
  int cell_height = 16;
  FontWeight weight = FontWeight::Bold;

  friend constexpr bool operator==(const Font&, const Font&) = default;
};

constexpr Font arial(int cell_height, FontWeight weight = FontWeight::Bold) {
  return {Typeface::Arial, cell_height, weight};
}
inline constexpr Font kWindowDefaultFont{Typeface::WindowDefault, 16, FontWeight::Bold};

}  // namespace marvok::screen
