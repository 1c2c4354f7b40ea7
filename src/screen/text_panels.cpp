#include "screen/text_panels.h"

#include <cstdio>

#include "screen/main_layout.h"

namespace marvok::screen {

namespace {

constexpr Colour kBannerTextColour = Colour::from_colorref(0x47FF14);

}  // namespace

void draw_help_banner(Canvas& canvas, std::u16string_view info_line, Colour background) {
  canvas.frame_rect(kBannerFrame, kYellow);
  canvas.fill_rect(kBannerArea, kBlack);
  canvas.text_centred(kBannerArea, info_line, arial(17), kBannerTextColour, background);
}

void draw_status_text(Canvas& canvas, std::u16string_view status_text, Colour background) {
  canvas.fill_rect(kStatusTextArea, background);
  canvas.text_centred(kBottomFrame, status_text, kWindowDefaultFont, kYellow, background);
}

std::u16string format_countdown(int seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
  return {text, text + std::char_traits<char>::length(text)};
}

void draw_countdown(Canvas& canvas, int seconds_left, Colour background) {
  canvas.fill_rect(kCountdownArea, canvas.system_colour(SystemColour::ScrollBar));
  canvas.text_at(kCountdownArea.top_left(), format_countdown(seconds_left), kWindowDefaultFont, kYellow, background);
  canvas.text_at({455, 293}, u"TIME LEFT", arial(14), kWhite, background);
}

Rect countdown_drawn_area() { return kCountdownArea.adjusted(0, 0, 20, 40); }

}  // namespace marvok::screen
