#include "screen/labels.h"

#include "state/utf8.h"

namespace marvok::screen {

namespace {

constexpr Font kLabelFont = arial(14);
constexpr Font kTextFont = arial(20);

}  // namespace

Rect draw_label(Canvas& canvas, std::u16string_view text, Point at, Colour ground) {
  return canvas.text_at(at, text, kLabelFont, kWhite, ground);
}

void draw_utf8_text(Canvas& canvas, std::string_view utf8, Point at, Colour colour) {
  canvas.text_at(at, utf8_to_utf16(utf8), kTextFont, colour, std::nullopt);
}

}  // namespace marvok::screen
