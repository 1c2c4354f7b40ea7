#include "screen/status_lights.h"

#include <cmath>

#include "screen/labels.h"

namespace marvok::screen {

namespace {

struct LabelledLight {
  const LedCell* cell;
  Point light;
  Point label_at;
  const char16_t* label;
};

void draw_light(Canvas& canvas, const LedImages& images, LedColor value, Point at) {
  if (const auto color = led_color_of(value)) canvas.picture_keyed(at, images[static_cast<std::size_t>(*color) - 1]);
}

}  // namespace

std::array<LedColor, 5> error_level_lights(std::int32_t error_level) {
  std::array<LedColor, 5> lights;
  lights.fill(LedColor::DarkBlue);
  switch (error_level) {
    case 0:
    case 1:
    case 2: lights[static_cast<std::size_t>(error_level)] = LedColor::Green; break;
    case 3: lights[3] = LedColor::Yellow; break;
    case 4: lights[4] = LedColor::Red; break;
    case 99: lights.fill(LedColor::Red); break;
    default: break;
  }
  return lights;
}

Point ring_light_position(int cell) {
  // Single precision, stepping down from a full turn, as the ring was first laid out.
  float angle = 6.2831855f;
  for (int k = 0; k < cell; ++k) angle -= 0.3926991f;
  return {420 + static_cast<int>(40.0f * std::sin(angle)), 380 + static_cast<int>(40.0f * std::cos(angle))};
}

void draw_status_lights(Canvas& canvas, LightsState& lights, const LedImages& images, WindowFocus focus,
                        Colour background, Labels labels) {
  const LabelledLight labelled[] = {
      {&lights.TstLed, {420, 270}, {417, 293}, u"TST"},    {&lights.HttpsLed, {310, 270}, {300, 293}, u"HTTPS"},
      {&lights.TxRxLed, {370, 270}, {361, 293}, u"TX-RX"}, {&lights.UdpLed, {310, 220}, {307, 243}, u"UDP"},
      {&lights.SvcLed, {340, 220}, {337, 243}, u"SVC"},    {&lights.TcpLed, {370, 220}, {367, 243}, u"TCP"},
  };
  for (const LabelledLight& light : labelled) {
    draw_light(canvas, images, light.cell->load(std::memory_order_relaxed), light.light);
    if (labels == Labels::Draw) draw_label(canvas, light.label, light.label_at, background);
  }

  const auto row = error_level_lights(lights.ErrorLevel.load(std::memory_order_relaxed));
  for (std::size_t i = 0; i < row.size(); ++i) {
    set_led(lights.ErrorLevelLeds[i], row[i]);
    draw_light(canvas, images, row[i], {420 + 18 * static_cast<int>(i), 220});
  }
  if (labels == Labels::Draw) draw_label(canvas, u"ERROR LEVEL", {429, 243}, background);

  const LedColor focus_color = focus == WindowFocus::Foreground ? LedColor::Green : LedColor::Red;
  draw_light(canvas, images, focus_color, {125, 18});
  draw_light(canvas, images, focus_color, {409, 18});
}

void draw_network_ring(Canvas& canvas, const LightsState& lights, const LedImages& images, Colour background) {
  for (std::size_t k = 0; k < lights.NetworkRing.size(); ++k)
    draw_ring_light(canvas, static_cast<int>(k), lights.NetworkRing[k].load(std::memory_order_relaxed), images);
  draw_label(canvas, u"NETWORK", {402, 380}, background);
}

void draw_ring_light(Canvas& canvas, int cell, LedColor value, const LedImages& images) {
  draw_light(canvas, images, value, ring_light_position(cell));
}

}  // namespace marvok::screen
