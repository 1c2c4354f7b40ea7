#include "screen/speaker_panel.h"

#include "screen/frost.h"
#include "screen/labels.h"

namespace marvok::screen {

namespace {

constexpr Point kPictureAt{10, 340};
constexpr Rect kNameLine = Rect::edges(10, 318, 310, 339);
constexpr Point kFirstNameAt{15, 319};
constexpr Point kCityAt{170, 319};
constexpr Rect kPhraseStrip = Rect::edges(20, 620, 280, 640);
constexpr Point kPhraseAt{20, 620};
constexpr int kTextOverhang = 8;

}  // namespace

Rect draw_speaker_picture(Surface& surface, const Picture& picture) {
  const Rect area(kPictureAt, {picture.width, picture.height});
  surface.paint([&](Canvas& canvas) {
    canvas.picture(kPictureAt, picture);
    canvas.frame_rect(area, kRed);
  });
  return area;
}

Rect draw_speaker_card(Surface& surface, Colour background, std::string_view first_name, std::string_view city,
                       std::string_view phrase) {
  surface.paint([&](Canvas& canvas) {
    canvas.fill_rect(kNameLine, background);
    draw_utf8_text(canvas, first_name, kFirstNameAt, kWhite);
    draw_utf8_text(canvas, city, kCityAt, kWhite);
  });
  const PixelRows rows = surface.pixels();
  frost(rows, kPhraseStrip);
  surface.paint([&](Canvas& canvas) { draw_utf8_text(canvas, phrase, kPhraseAt, kYellow); });
  // Text runs past its line and strip as far as it is long.
  return Rect::edges(0, kNameLine.top(), rows.size.width, kPhraseStrip.bottom() + kTextOverhang + 1);
}

}  // namespace marvok::screen
