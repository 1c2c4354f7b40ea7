#pragma once

#include <optional>
#include <string_view>

#include "screen/colour.h"
#include "screen/font.h"
#include "screen/geometry.h"
#include "state/picture.h"

namespace marvok::screen {

// How a stretched picture is smoothed: scaled on its own first, then copied
// into place (no edge blended with what lies under it), or drawn straight
// into its rectangle with the destination's filtering.
enum class Stretch { ScaledFirst, IntoRect };

enum class Antialias { Off, On };

// Text placed by the toolkit inside its box (clipped to it or not), or centred
// from its measured size over a filled ground and clipped to the box.
enum class TextClip { ToBox, None };

// What the screen draws with. Each front end implements it over its own
// drawing (Qt's painter, GDI); the screen's decisions are made once, above it.
class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual void fill_rect(const Rect& rect, Colour colour) = 0;
  // From `top` on the first row to `bottom` on the last.
  virtual void fill_vertical_gradient(const Rect& rect, Colour top, Colour bottom) = 0;
  // A one-pixel outline on the rectangle's outermost pixels.
  virtual void frame_rect(const Rect& rect, Colour colour) = 0;
  // An antialiased rectangle with corners rounded by `corner` × `corner`
  // ellipses, its pen centred on the edge, filled inside.
  virtual void rounded_frame(const Rect& rect, int corner, int pen_width, Colour pen, Colour fill) = 0;
  // A line with round ends.
  virtual void line(Point from, Point to, int width, Colour colour, Antialias antialias) = 0;
  // An antialiased disc of `radius` with a one-pixel outline.
  virtual void dot(Point centre, int radius, Colour outline, Colour fill) = 0;

  // Pictures at their own size with `at` their top-left. Pixels with alpha
  // let what is under them show.
  virtual void picture(Point at, const Picture& picture) = 0;
  // Pure black pixels are left out.
  virtual void picture_keyed(Point at, const Picture& picture) = 0;
  // Turned clockwise about its centre by `degrees`, kept at its size over
  // opaque black, then drawn with black left out.
  virtual void picture_rotated_keyed(Point at, const Picture& picture, double degrees) = 0;
  virtual void picture_stretched(const Rect& rect, const Picture& picture, Stretch stretch) = 0;

  // The size one line of `text` takes.
  virtual Size text_size(std::u16string_view text, const Font& font) = 0;
  // One line with its top-left at `at`, over a filled ground the text's size
  // when one is given. Returns the area the text takes.
  virtual Rect text_at(Point at, std::u16string_view text, const Font& font, Colour colour,
                       std::optional<Colour> ground) = 0;
  // One line centred both ways in `box`. Over a ground, the ground is the
  // text's size and both are clipped to the box; without one, `clip` says
  // whether text wider than the box is cut.
  virtual void text_centred(const Rect& box, std::u16string_view text, const Font& font, Colour colour,
                            std::optional<Colour> ground, TextClip clip = TextClip::ToBox) = 0;

  // A device's icon, by the name the sound server gives it, in `rect` over
  // the system colour `ground`. Returns whether an icon was found and drawn.
  virtual bool device_icon(const Rect& rect, std::u16string_view icon_name, SystemColour ground) = 0;
  virtual Colour system_colour(SystemColour colour) = 0;

  // Limits the drawing to `area` until `clear_clip`.
  virtual void set_clip(const Region& area) = 0;
  virtual void clear_clip() = 0;
};

}  // namespace marvok::screen
