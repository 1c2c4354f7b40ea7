// The live panels of the main window, checked on its backing image.
#include <gtest/gtest.h>

#include <QPainter>

#include "relay/channels.h"
#include "ui/channel_panel.h"
#include "ui/fonts.h"
#include "ui/status_lights.h"
#include "ui/status_panel.h"
#include "ui/text_drawing.h"
#include "ui/text_panels.h"

namespace marvok::ui {
namespace {

// One flat colour per light code, so a pixel says which light is drawn.
LedImages flat_lights() {
  LedImages images;
  const QColor colours[] = {Qt::red, QColor(128, 0, 0), Qt::green, Qt::yellow, Qt::blue, QColor(0, 0, 128)};
  for (std::size_t i = 0; i < images.size(); ++i) {
    images[i] = QImage(12, 12, QImage::Format_RGB32);
    images[i].fill(colours[i]);
  }
  return images;
}

QColor colour_of(LedColor color) { return flat_lights()[static_cast<std::size_t>(color) - 1].pixelColor(0, 0); }

QImage blank_surface() {
  QImage surface(550, 730, QImage::Format_RGB32);
  surface.fill(Qt::black);
  return surface;
}

TEST(StatusLightsTest, ErrorLevelLightsTheRowAndTheLightsStandAtTheirPlaces) {
  using enum LedColor;
  const struct {
    int level;
    std::array<LedColor, 5> row;
  } cases[] = {
      {0, {Green, DarkBlue, DarkBlue, DarkBlue, DarkBlue}},     {2, {DarkBlue, DarkBlue, Green, DarkBlue, DarkBlue}},
      {3, {DarkBlue, DarkBlue, DarkBlue, Yellow, DarkBlue}},    {4, {DarkBlue, DarkBlue, DarkBlue, DarkBlue, Red}},
      {5, {DarkBlue, DarkBlue, DarkBlue, DarkBlue, DarkBlue}},  {99, {Red, Red, Red, Red, Red}},
      {-1, {DarkBlue, DarkBlue, DarkBlue, DarkBlue, DarkBlue}},
  };
  for (const auto& c : cases) {
    LightsState lights;
    lights.ErrorLevel = c.level;
    set_led(lights.TstLed, Green);
    lights.TcpLed = static_cast<LedColor>(9);  // not a colour: not drawn
    QImage surface = blank_surface();
    QPainter painter(&surface);
    draw_status_lights(painter, lights, flat_lights(), WindowFocus::Background, 0);
    painter.end();
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(surface.pixelColor(420 + 18 * i + 5, 225), colour_of(c.row[static_cast<std::size_t>(i)]))
          << "level " << c.level << " light " << i;
      EXPECT_EQ(lights.ErrorLevelLeds[static_cast<std::size_t>(i)].load(), c.row[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(surface.pixelColor(425, 275), colour_of(Green));   // TST
    EXPECT_EQ(surface.pixelColor(315, 275), colour_of(Blue));    // HTTPS
    EXPECT_EQ(surface.pixelColor(375, 225), QColor(Qt::black));  // TCP holds no colour
    EXPECT_EQ(surface.pixelColor(130, 23), colour_of(Red));      // focus lights: window in the background
    EXPECT_EQ(surface.pixelColor(414, 23), colour_of(Red));
  }
}

TEST(NetworkRingTest, CellsRunClockwiseFromTheBottom) {
  EXPECT_EQ(ring_light_position(0), QPoint(420, 420));
  EXPECT_EQ(ring_light_position(4), QPoint(380, 380));
  EXPECT_EQ(ring_light_position(8), QPoint(420, 340));
  EXPECT_EQ(ring_light_position(12), QPoint(460, 380));

  LightsState lights;
  set_led(lights.NetworkRing[0], LedColor::Red);
  set_led(lights.NetworkRing[8], LedColor::Green);
  QImage surface = blank_surface();
  QPainter painter(&surface);
  draw_network_ring(painter, lights, flat_lights(), 0);
  painter.end();
  EXPECT_EQ(surface.pixelColor(425, 425), colour_of(LedColor::Red));
  EXPECT_EQ(surface.pixelColor(425, 345), colour_of(LedColor::Green));
  EXPECT_EQ(surface.pixelColor(385, 385), colour_of(LedColor::Blue));
}

// A knob with one white mark at the middle of its top edge: where the mark
// lands tells the angle it was drawn at.
QImage marked_knob() {
  QImage knob(60, 60, QImage::Format_RGB32);
  knob.fill(QColor(90, 90, 90));
  QPainter painter(&knob);
  painter.fillRect(28, 0, 4, 8, Qt::white);
  return knob;
}

TEST(StatusPanelTest, KnobTurnsWithTheLevelAndItsRectangleIsWhereItWasDrawn) {
  MainWindowImages images;
  images.knob = marked_knob();
  images.params_button = marked_knob();
  QImage surface = blank_surface();
  QPainter painter(&surface);
  const auto rects = draw_status_panel(painter, images, {0.5f, 0.0f, StreamFormat::Opus}, 0);
  painter.end();
  ASSERT_TRUE(rects);
  EXPECT_EQ(rects->mic, QRect(115, 220, 60, 60));
  EXPECT_EQ(rects->volume, QRect(205, 220, 60, 60));
  EXPECT_EQ(rects->params, QRect(25, 220, 60, 60));

  // At level 0.5 the knob is turned by 330 degrees: its mark moves from the
  // top middle a twelfth of a turn back, up and to the left.
  EXPECT_EQ(surface.pixelColor(115 + 17, 220 + 8), QColor(Qt::white));
  EXPECT_NE(surface.pixelColor(115 + 30, 220 + 3), QColor(Qt::white));
  // The volume knob at 0 is half a turn round: its mark at the bottom.
  EXPECT_EQ(surface.pixelColor(205 + 30, 220 + 54), QColor(Qt::white));
  EXPECT_NE(surface.pixelColor(205 + 30, 220 + 3), QColor(Qt::white));
}

TEST(StatusPanelTest, NothingWithoutTheKnobAndNoCodecLabelBeforeAStream) {
  MainWindowImages images;
  QImage surface = blank_surface();
  QPainter painter(&surface);
  EXPECT_FALSE(draw_status_panel(painter, images, {}, 0));
  images.knob = images.params_button = marked_knob();
  ASSERT_TRUE(draw_status_panel(painter, images, {0.0f, 0.0f, StreamFormat::None}, 0));
  painter.end();
  const QRect codec(334, 179, 50, 15);
  for (int y = codec.top(); y <= codec.bottom(); ++y)
    for (int x = codec.left(); x <= codec.right(); ++x) ASSERT_EQ(surface.pixelColor(x, y), QColor(Qt::black));
}

// The pixels of `text` drawn alone at (x, y) as the panels draw it.
QImage text_alone(const QString& text, int x, int y, const QFont& font, std::uint32_t colour) {
  QImage surface = blank_surface();
  QPainter painter(&surface);
  draw_text_at(painter, x, y, text, font, colour, 0);
  return surface;
}

bool same_area(const QImage& a, const QImage& b, const QRect& area) { return a.copy(area) == b.copy(area); }

TEST(ChannelPanelTest, ShowsTheNameAndMinusOneRightAfterAChange) {
  MainWindowImages images;
  images.channel.fill(QImage());
  ChannelState channel;
  channel.ChannelMemberCount = 4;
  relay::select_channel(channel, 3);
  QImage surface = blank_surface();
  QPainter painter(&surface);
  draw_channel_panel(painter, channel, images, 0);
  painter.end();
  const QRect count_area(160, 168, 28, 16);
  EXPECT_TRUE(same_area(surface, text_alone("-1", 160, 168, arial_font(14), 0xFFFFFF), count_area));
  EXPECT_FALSE(same_area(surface, text_alone("4", 160, 168, arial_font(14), 0xFFFFFF), count_area));
  EXPECT_EQ(surface.pixelColor(10, 120), QColor(255, 0, 0));  // the red frame
  int yellow = 0;
  for (int x = 20; x < 180; ++x)
    for (int y = 85; y < 105; ++y) yellow += surface.pixelColor(x, y) == QColor(255, 255, 0);
  EXPECT_GT(yellow, 40);  // "Zone Technologie"
}

TEST(CountdownTest, ShowsHoursMinutesSecondsAndTheLabel) {
  EXPECT_EQ(format_countdown(4499), "01:14:59");
  EXPECT_EQ(format_countdown(0), "00:00:00");
  EXPECT_EQ(format_countdown(3600 + 61), "01:01:01");
  QImage surface = blank_surface();
  QPainter painter(&surface);
  draw_countdown(painter, 4499, 0);
  painter.end();
  EXPECT_TRUE(same_area(surface, text_alone("01:14:59", 455, 270, default_font(), 0x00FFFF), QRect(455, 270, 70, 16)));
  int white = 0;
  for (int x = 455; x < 530; ++x)
    for (int y = 293; y < 307; ++y) white += surface.pixelColor(x, y) == QColor(Qt::white);
  EXPECT_GT(white, 20);  // "TIME LEFT"
}

}  // namespace
}  // namespace marvok::ui
