#include "screen/window_frame.h"

#include "screen/main_layout.h"

namespace marvok::screen {

namespace {

constexpr int kCrossPenWidth = 4;

std::u16string latin1(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace

Colour window_background(const DisplayState& display) {
  return Colour::from_colorref(display.BackgroundColor.load(std::memory_order_relaxed));
}

void draw_title(Canvas& canvas, Colour background) {
  canvas.text_centred(kTitleArea, u"MARVOK", arial(30), kYellow, background);
}

void draw_close_cross(Canvas& canvas, const DisplayState& display, CrossHover hover) {
  if (display.CloseCrossShown.load(std::memory_order_relaxed) == CrossVisibility::Hidden) return;
  const Colour colour = hover == CrossHover::Inside ? kYellow : kRed;
  const int left = kCloseArea.left(), top = kCloseArea.top(), right = kCloseArea.left() + kCloseArea.width;
  canvas.line({left + 10, top + 10}, {left + 20, top + 20}, kCrossPenWidth, colour, Antialias::On);
  canvas.line({right - 10, top + 10}, {left + 10, top + 20}, kCrossPenWidth, colour, Antialias::On);
}

void paint_window_frame(Canvas& canvas, const DisplayState& display, CrossHover hover) {
  const Colour background = window_background(display);
  canvas.rounded_frame(Rect({0, 0}, kMainWindowSize), 20, 4, kYellow, background);
  canvas.rounded_frame(kBottomFrame, 20, 2, kYellow, background);
  draw_title(canvas, background);
  draw_close_cross(canvas, display, hover);
  canvas.text_at({430, 605}, u"Version ", arial(14), kWhite, background);
  canvas.text_at({480, 605}, latin1(kClientVersion), arial(14), kWhite, background);
  canvas.text_centred(kCreditArea, u"Équipe Marvok", kWindowDefaultFont, kYellow, background);
}

}  // namespace marvok::screen
