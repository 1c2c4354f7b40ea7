#include "ui/win32/gdi_fonts.h"

#include <utility>
#include <vector>

#include "ui/win32/gdi_handles.h"

namespace marvok::ui::win32 {

namespace {

GdiObject<HFONT> make_font(const screen::Font& font) {
  const wchar_t* face = font.typeface == screen::Typeface::SegoeUi ? L"Segoe UI" : L"Arial";
  // A positive height asks for the cell height, ascent plus descent, as the layouts measure it.
  return GdiObject<HFONT>(CreateFontW(
      font.cell_height, 0, 0, 0, font.weight == screen::FontWeight::Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, face));
}

}  // namespace

HFONT gdi_font(const screen::Font& font) {
  if (font.typeface == screen::Typeface::WindowDefault) return nullptr;
  static std::vector<std::pair<screen::Font, GdiObject<HFONT>>> made;
  for (const auto& [key, handle] : made)
    if (key == font) return handle.get();
  made.emplace_back(font, make_font(font));
  return made.back().second.get();
}

}  // namespace marvok::ui::win32
