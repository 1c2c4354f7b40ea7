#include "ui/status_lights.h"

#include <QPainter>
#include <cmath>

#include "ui/drawing_helpers.h"

namespace marvok::ui {

namespace {

struct LabelledLight {
  const LedCell* cell;
  QPoint light;
  QPoint label_at;
  const char* label;
};

void draw_light(QPainter& painter, const LedImages& images, LedColor value, QPoint at) {
  if (const auto color = led_color_of(value))
    TransparentImage(painter, images[static_cast<std::size_t>(*color) - 1], at.x(), at.y());
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

QPoint ring_light_position(int cell) {
  // Single precision, stepping down from a full turn, as the ring was first laid out.
  float angle = 6.2831855f;
  for (int k = 0; k < cell; ++k) angle -= 0.3926991f;
  return {420 + static_cast<int>(40.0f * std::sin(angle)), 380 + static_cast<int>(40.0f * std::cos(angle))};
}

void draw_status_lights(QPainter& painter, LightsState& lights, const LedImages& images, WindowFocus focus,
                        std::uint32_t background, Labels labels) {
  const LabelledLight labelled[] = {
      {&lights.TstLed, {420, 270}, {417, 293}, "TST"},    {&lights.HttpsLed, {310, 270}, {300, 293}, "HTTPS"},
      {&lights.TxRxLed, {370, 270}, {361, 293}, "TX-RX"}, {&lights.UdpLed, {310, 220}, {307, 243}, "UDP"},
      {&lights.SvcLed, {340, 220}, {337, 243}, "SVC"},    {&lights.TcpLed, {370, 220}, {367, 243}, "TCP"},
  };
  for (const LabelledLight& light : labelled) {
    draw_light(painter, images, light.cell->load(std::memory_order_relaxed), light.light);
    if (labels == Labels::Draw)
      DrawLabel(painter, QString::fromLatin1(light.label), light.label_at.x(), light.label_at.y(), background);
  }

  const auto row = error_level_lights(lights.ErrorLevel.load(std::memory_order_relaxed));
  for (std::size_t i = 0; i < row.size(); ++i) {
    set_led(lights.ErrorLevelLeds[i], row[i]);
    draw_light(painter, images, row[i], {420 + 18 * static_cast<int>(i), 220});
  }
  if (labels == Labels::Draw) DrawLabel(painter, QStringLiteral("ERROR LEVEL"), 429, 243, background);

  const LedColor focus_color = focus == WindowFocus::Foreground ? LedColor::Green : LedColor::Red;
  draw_light(painter, images, focus_color, {125, 18});
  draw_light(painter, images, focus_color, {409, 18});
}

void draw_network_ring(QPainter& painter, const LightsState& lights, const LedImages& images,
                       std::uint32_t background) {
  for (std::size_t k = 0; k < lights.NetworkRing.size(); ++k)
    draw_ring_light(painter, static_cast<int>(k), lights.NetworkRing[k].load(std::memory_order_relaxed), images);
  DrawLabel(painter, QStringLiteral("NETWORK"), 402, 380, background);
}

void draw_ring_light(QPainter& painter, int cell, LedColor value, const LedImages& images) {
  draw_light(painter, images, value, ring_light_position(cell));
}

}  // namespace marvok::ui
