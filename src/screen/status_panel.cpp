#include "screen/status_panel.h"

#include <cmath>
#include <numbers>

#include "screen/labels.h"
#include "screen/main_layout.h"

namespace marvok::screen {

namespace {

constexpr int kControlTop = 220;
constexpr int kDotRadius = 4;
constexpr int kDotDistance = 30;

void draw_codec_label(Canvas& canvas, StreamFormat format, Colour background) {
  canvas.fill_rect(kCodecLabelArea, background);
  const char16_t* text = format == StreamFormat::Pcm ? u"PCM" : format == StreamFormat::Opus ? u"OPUS" : nullptr;
  if (text) canvas.text_centred(kCodecLabelArea, text, arial(12), kYellow, background);
}

}  // namespace

Rect draw_control(Canvas& canvas, const Picture& picture, double angle_degrees, int x, int dots, double dot_step,
                  std::u16string_view label, Colour background) {
  canvas.picture_rotated_keyed({x, kControlTop}, picture, angle_degrees);
  const int cx = x + picture.width / 2, cy = kControlTop + picture.height / 2;
  int drawn_dots = 0;
  for (double theta = 2 * std::numbers::pi; theta > 0 && drawn_dots < dots; theta -= dot_step, ++drawn_dots) {
    const Point centre{cx + static_cast<int>(kDotDistance * std::sin(theta)),
                       cy + static_cast<int>(kDotDistance * std::cos(theta))};
    canvas.dot(centre, kDotRadius, kRed, drawn_dots == 0 ? kBlue : kGreen);
  }
  draw_label(canvas, label, {x + 8, 290}, background);
  return {x, kControlTop, picture.width, picture.height};
}

std::optional<ControlRects> draw_status_panel(Canvas& canvas, const MainWindowImages& images,
                                              const StatusPanelValues& values, Colour background) {
  if (images.knob.empty()) return std::nullopt;
  draw_label(canvas, u"AUDIO LEFT", {245, 179}, background);
  draw_label(canvas, u"AUDIO RIGHT", {415, 179}, background);

  // The controls turn over what they drew last time: clear behind them first.
  canvas.fill_rect(Rect::edges(10, kControlTop - 15, 300, 305), background);
  ControlRects rects;
  rects.params = draw_control(canvas, images.params_button, 180.0, 25, 8, std::numbers::pi / 4, u"PARAMS", background);
  rects.mic = draw_control(canvas, images.knob, knob_angle(values.mic_level), 115, 7, 2 * std::numbers::pi / 7,
                           u"MIC GAIN", background);
  rects.volume = draw_control(canvas, images.knob, knob_angle(values.volume_level), 205, 7, 2 * std::numbers::pi / 7,
                              u"VOLUME", background);

  canvas.picture_stretched(kDocumentationArea, images.doc_icon, Stretch::ScaledFirst);
  canvas.picture_stretched({15, 8, 32, 32}, images.voice_help_icon, Stretch::ScaledFirst);
  draw_codec_label(canvas, values.received_format, background);
  return rects;
}

}  // namespace marvok::screen
