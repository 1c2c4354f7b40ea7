#include "ui/win32/gdi_canvas.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <string>

#include "ui/win32/bitmap_dc.h"
#include "ui/win32/coverage.h"
#include "ui/win32/gdi_fonts.h"
#include "ui/win32/gdi_handles.h"
#include "ui/win32/icon_location.h"
#include "ui/win32/rotation.h"

namespace marvok::ui::win32 {

namespace {

COLORREF colorref(screen::Colour colour) { return RGB(colour.red, colour.green, colour.blue); }

RECT win_rect(const screen::Rect& rect) { return {rect.x, rect.y, rect.x + rect.width, rect.y + rect.height}; }

const wchar_t* wide(std::u16string_view text) { return reinterpret_cast<const wchar_t*>(text.data()); }
int length(std::u16string_view text) { return static_cast<int>(text.size()); }

void fill(HDC dc, const screen::Rect& rect, screen::Colour colour) {
  const GdiObject<HBRUSH> brush(CreateSolidBrush(colorref(colour)));
  const RECT area = win_rect(rect);
  FillRect(dc, &area, brush.get());
}

// The font of `font` selected for a scope; the window default leaves the DC's own.
class FontSelection {
 public:
  FontSelection(HDC dc, const screen::Font& font) {
    if (HFONT handle = gdi_font(font)) selection_.emplace(dc, handle);
  }

 private:
  std::optional<Selection> selection_;
};

void blend_picture(HDC dc, screen::Point at, const Picture& picture) {
  const BitmapDc source = bitmap_of(picture, Alpha::Premultiplied);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, at.x, at.y, picture.width, picture.height, source.dc(), 0, 0, picture.width, picture.height, blend);
}

void keyed_picture(HDC dc, screen::Point at, const Picture& picture) {
  if (picture.empty()) return;
  const BitmapDc source = bitmap_of(picture);
  TransparentBlt(dc, at.x, at.y, picture.width, picture.height, source.dc(), 0, 0, picture.width, picture.height,
                 RGB(0, 0, 0));
}

void halftone_stretch(HDC to, const screen::Rect& rect, HDC from, screen::Size size) {
  SetStretchBltMode(to, HALFTONE);
  SetBrushOrgEx(to, 0, 0, nullptr);  // HALFTONE needs the brush origin set after the mode
  StretchBlt(to, rect.x, rect.y, rect.width, rect.height, from, 0, 0, size.width, size.height, SRCCOPY);
}

screen::Rect bounds_of(screen::Point from, screen::Point to, int margin) {
  return screen::Rect::edges(std::min(from.x, to.x) - margin, std::min(from.y, to.y) - margin,
                             std::max(from.x, to.x) + margin + 1, std::max(from.y, to.y) + margin + 1);
}

Vec at(screen::Point point) { return {static_cast<double>(point.x), static_cast<double>(point.y)}; }

}  // namespace

GdiCanvas::GdiCanvas(HDC dc) : dc_(dc), saved_state_(SaveDC(dc)) {}

GdiCanvas::~GdiCanvas() { RestoreDC(dc_, saved_state_); }

void GdiCanvas::draw_on_copy(const screen::Rect& area,
                             const std::function<void(const screen::PixelRows& rows, screen::Point origin)>& draw) {
  if (area.empty()) return;
  const BitmapDc copy(area.size());
  if (!copy.valid()) return;
  BitBlt(copy.dc(), 0, 0, area.width, area.height, dc_, area.x, area.y, SRCCOPY);
  GdiFlush();
  draw(copy.rows(), area.top_left());
  BitBlt(dc_, area.x, area.y, area.width, area.height, copy.dc(), 0, 0, SRCCOPY);
}

void GdiCanvas::fill_rect(const screen::Rect& rect, screen::Colour colour) { fill(dc_, rect, colour); }

void GdiCanvas::fill_vertical_gradient(const screen::Rect& rect, screen::Colour top, screen::Colour bottom) {
  // Each row takes the colour at its centre, as Qt's gradient from the first row's top to the last's bottom.
  const auto mix = [&](std::uint8_t a, std::uint8_t b, double t) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
  };
  for (int row = 0; row < rect.height; ++row) {
    const double t = (row + 0.5) / rect.height;
    fill(dc_, {rect.x, rect.y + row, rect.width, 1},
         {mix(top.red, bottom.red, t), mix(top.green, bottom.green, t), mix(top.blue, bottom.blue, t)});
  }
}

void GdiCanvas::frame_rect(const screen::Rect& rect, screen::Colour colour) {
  if (rect.empty()) return;
  const GdiObject<HBRUSH> brush(CreateSolidBrush(colorref(colour)));
  const RECT area = win_rect(rect);
  FrameRect(dc_, &area, brush.get());
}

void GdiCanvas::rounded_frame(const screen::Rect& rect, int corner, int pen_width, screen::Colour pen,
                              screen::Colour fill_colour) {
  // The outline runs through the centres of the outermost pixels.
  const Distance box = rounded_box(rect.x, rect.y, rect.x + rect.width - 1, rect.y + rect.height - 1, corner / 2.0);
  const int margin = pen_width / 2 + 1;
  const screen::Rect area = rect.adjusted(-margin, -margin, margin, margin);
  draw_on_copy(area, [&](const screen::PixelRows& rows, screen::Point origin) {
    cover(rows, origin, area, box, fill_colour, Edges::Antialiased);
    cover(rows, origin, area, outline(box, pen_width), pen, Edges::Antialiased);
  });
}

void GdiCanvas::line(screen::Point from, screen::Point to, int width, screen::Colour colour,
                     screen::Antialias antialias) {
  const screen::Rect area = bounds_of(from, to, width / 2 + 2);
  const Edges edges = antialias == screen::Antialias::On ? Edges::Antialiased : Edges::Aliased;
  draw_on_copy(area, [&](const screen::PixelRows& rows, screen::Point origin) {
    cover(rows, origin, area, capsule(at(from), at(to), width), colour, edges);
  });
}

void GdiCanvas::dot(screen::Point centre, int radius, screen::Colour outline_colour, screen::Colour fill_colour) {
  const screen::Rect area = bounds_of(centre, centre, radius + 2);
  draw_on_copy(area, [&](const screen::PixelRows& rows, screen::Point origin) {
    const Distance round = disc(at(centre), radius);
    cover(rows, origin, area, round, fill_colour, Edges::Antialiased);
    cover(rows, origin, area, outline(round, 1), outline_colour, Edges::Antialiased);
  });
}

void GdiCanvas::picture(screen::Point at_point, const Picture& picture) {
  if (picture.empty()) return;
  if (!is_opaque(picture)) {
    blend_picture(dc_, at_point, picture);
    return;
  }
  const BitmapDc source = bitmap_of(picture);
  BitBlt(dc_, at_point.x, at_point.y, picture.width, picture.height, source.dc(), 0, 0, SRCCOPY);
}

void GdiCanvas::picture_keyed(screen::Point at_point, const Picture& picture) { keyed_picture(dc_, at_point, picture); }

void GdiCanvas::picture_rotated_keyed(screen::Point at_point, const Picture& picture, double degrees) {
  keyed_picture(dc_, at_point, rotated(picture, degrees));
}

void GdiCanvas::picture_stretched(const screen::Rect& rect, const Picture& picture, screen::Stretch) {
  // HALFTONE scales into the rectangle alone, so both ways of stretching come to the same.
  if (picture.empty() || rect.empty()) return;
  const screen::Size size{picture.width, picture.height};
  if (is_opaque(picture)) {
    const BitmapDc source = bitmap_of(picture);
    halftone_stretch(dc_, rect, source.dc(), size);
    return;
  }
  // HALFTONE does not keep alpha: the alpha is scaled as a grey picture of its own and put back.
  const screen::Rect to{0, 0, rect.width, rect.height};
  const BitmapDc colours(rect.size()), alphas(rect.size());
  halftone_stretch(colours.dc(), to, bitmap_of(picture, Alpha::Premultiplied).dc(), size);
  halftone_stretch(alphas.dc(), to, bitmap_of(picture, Alpha::AsGrey).dc(), size);
  GdiFlush();
  const std::span<std::uint32_t> scaled(colours.rows().pixels, static_cast<std::size_t>(rect.width) * rect.height);
  const std::uint32_t* alpha = alphas.rows().pixels;
  for (std::uint32_t& pixel : scaled) {
    const std::uint32_t a = *alpha++ & 0xFF;
    const auto at_most_alpha = [a](std::uint32_t channel) { return std::min(channel, a); };
    pixel = a << 24 | at_most_alpha(pixel >> 16 & 0xFF) << 16 | at_most_alpha(pixel >> 8 & 0xFF) << 8 |
            at_most_alpha(pixel & 0xFF);
  }
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc_, rect.x, rect.y, rect.width, rect.height, colours.dc(), 0, 0, rect.width, rect.height, blend);
}

screen::Size GdiCanvas::text_size(std::u16string_view text, const screen::Font& font) {
  const FontSelection selected(dc_, font);
  SIZE size{};
  GetTextExtentPoint32W(dc_, wide(text), length(text), &size);
  if (text.empty()) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc_, &metrics);
    size.cy = metrics.tmHeight;
  }
  return {size.cx, size.cy};
}

screen::Rect GdiCanvas::text_at(screen::Point at_point, std::u16string_view text, const screen::Font& font,
                                screen::Colour colour, std::optional<screen::Colour> ground) {
  const screen::Rect area(at_point, text_size(text, font));
  const FontSelection selected(dc_, font);
  SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  SetTextColor(dc_, colorref(colour));
  SetBkMode(dc_, ground ? OPAQUE : TRANSPARENT);
  if (ground) SetBkColor(dc_, colorref(*ground));
  // The ground is exactly the measured size, whatever the glyphs overhang.
  const RECT ground_rect = win_rect(area);
  ExtTextOutW(dc_, at_point.x, at_point.y, ground ? ETO_OPAQUE : 0, ground ? &ground_rect : nullptr, wide(text),
              static_cast<UINT>(text.size()), nullptr);
  return area;
}

void GdiCanvas::text_centred(const screen::Rect& box, std::u16string_view text, const screen::Font& font,
                             screen::Colour colour, std::optional<screen::Colour> ground, screen::TextClip clip) {
  if (!ground) {
    const FontSelection selected(dc_, font);
    SetTextColor(dc_, colorref(colour));
    SetBkMode(dc_, TRANSPARENT);
    RECT area = win_rect(box);
    const UINT clipping = clip == screen::TextClip::None ? DT_NOCLIP : 0;
    DrawTextW(dc_, wide(text), length(text), &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | clipping);
    return;
  }
  const screen::Size size = text_size(text, font);
  const screen::Rect area(box.x + (box.width - size.width) / 2, box.y + (box.height - size.height) / 2, size.width,
                          size.height);
  const screen::Rect shown = area.intersected(box);
  if (shown.empty()) return;
  const FontSelection selected(dc_, font);
  SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  SetTextColor(dc_, colorref(colour));
  SetBkMode(dc_, OPAQUE);
  SetBkColor(dc_, colorref(*ground));
  const RECT shown_rect = win_rect(shown);
  ExtTextOutW(dc_, area.x, area.y, ETO_OPAQUE | ETO_CLIPPED, &shown_rect, wide(text), static_cast<UINT>(text.size()),
              nullptr);
}

bool GdiCanvas::device_icon(const screen::Rect& rect, std::u16string_view icon_name, screen::SystemColour ground) {
  const std::optional<IconLocation> location = icon_location(icon_name);
  if (!location) return false;
  HICON large = nullptr;
  if (ExtractIconExW(location->path.c_str(), location->index, &large, nullptr, 1) == 0 || large == nullptr)
    return false;
  const IconHandle icon(large);
  fill(dc_, rect, system_colour(ground));
  return DrawIconEx(dc_, rect.x, rect.y, icon.get(), rect.width, rect.height, 0, nullptr, DI_NORMAL) != FALSE;
}

screen::Colour GdiCanvas::system_colour(screen::SystemColour colour) {
  int index = COLOR_WINDOW;
  switch (colour) {
    case screen::SystemColour::Window:
    case screen::SystemColour::Content: index = COLOR_WINDOW; break;
    case screen::SystemColour::Menu: index = COLOR_MENU; break;
    case screen::SystemColour::ScrollBar: index = COLOR_SCROLLBAR; break;
    case screen::SystemColour::ButtonShadow: index = COLOR_BTNSHADOW; break;
  }
  return screen::Colour::from_colorref(GetSysColor(index));
}

void GdiCanvas::set_clip(const screen::Region& area) {
  const GdiObject<HRGN> region(CreateRectRgn(0, 0, 0, 0));
  for (const screen::Rect& rect : area.rects()) {
    const GdiObject<HRGN> part(CreateRectRgn(rect.x, rect.y, rect.x + rect.width, rect.y + rect.height));
    CombineRgn(region.get(), region.get(), part.get(), RGN_OR);
  }
  SelectClipRgn(dc_, region.get());  // the DC keeps a copy
}

void GdiCanvas::clear_clip() { SelectClipRgn(dc_, nullptr); }

}  // namespace marvok::ui::win32
