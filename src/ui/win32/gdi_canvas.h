#pragma once

#include <windows.h>

#include <functional>

#include "screen/canvas.h"
#include "screen/surface.h"

namespace marvok::ui::win32 {

// The screen's canvas over a GDI device context. GDI draws fills, frames,
// pictures and text; the antialiased shapes, which GDI's pens cannot make,
// are laid into a copy of their pixels and put back through the DC's clip.
// Whatever the drawing changes in the DC's state is undone when the canvas goes.
class GdiCanvas final : public screen::Canvas {
 public:
  explicit GdiCanvas(HDC dc);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  void fill_rect(const screen::Rect& rect, screen::Colour colour) override;
  void fill_vertical_gradient(const screen::Rect& rect, screen::Colour top, screen::Colour bottom) override;
  void frame_rect(const screen::Rect& rect, screen::Colour colour) override;
  void rounded_frame(const screen::Rect& rect, int corner, int pen_width, screen::Colour pen,
                     screen::Colour fill) override;
  void line(screen::Point from, screen::Point to, int width, screen::Colour colour,
            screen::Antialias antialias) override;
  void dot(screen::Point centre, int radius, screen::Colour outline, screen::Colour fill) override;

  void picture(screen::Point at, const Picture& picture) override;
  void picture_keyed(screen::Point at, const Picture& picture) override;
  void picture_rotated_keyed(screen::Point at, const Picture& picture, double degrees) override;
  void picture_stretched(const screen::Rect& rect, const Picture& picture, screen::Stretch stretch) override;

  screen::Size text_size(std::u16string_view text, const screen::Font& font) override;
  screen::Rect text_at(screen::Point at, std::u16string_view text, const screen::Font& font, screen::Colour colour,
                       std::optional<screen::Colour> ground) override;
  void text_centred(const screen::Rect& box, std::u16string_view text, const screen::Font& font, screen::Colour colour,
                    std::optional<screen::Colour> ground, screen::TextClip clip = screen::TextClip::ToBox) override;

  bool device_icon(const screen::Rect& rect, std::u16string_view icon_name, screen::SystemColour ground) override;
  screen::Colour system_colour(screen::SystemColour colour) override;

  void set_clip(const screen::Region& area) override;
  void clear_clip() override;

 private:
  // Runs `draw` on a copy of `area`'s pixels (`origin` their top-left), then copies them back.
  void draw_on_copy(const screen::Rect& area,
                    const std::function<void(const screen::PixelRows& rows, screen::Point origin)>& draw);

  HDC dc_;
  int saved_state_;
};

}  // namespace marvok::ui::win32
