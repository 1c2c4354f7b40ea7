// What the main window's panels draw and when, read from a recording canvas.
#include <gtest/gtest.h>

#include <algorithm>

#include "relay/channels.h"
#include "screen/channel_panel.h"
#include "screen/frost.h"
#include "screen/gif_player.h"
#include "screen/level_meters.h"
#include "screen/main_layout.h"
#include "screen/main_screen.h"
#include "screen/panel_schedule.h"
#include "screen/status_lights.h"
#include "screen/status_panel.h"
#include "screen/text_panels.h"
#include "tests/screen/manual_loop.h"
#include "tests/screen/recording_canvas.h"

namespace marvok::screen {
namespace {

// Light pictures named after their colour codes.
struct NamedLights {
  explicit NamedLights(RecordingCanvas& canvas) {
    for (std::size_t i = 0; i < images.size(); ++i) {
      images[i] = Picture{12, 12, std::vector<std::uint32_t>(144, 0xFF000000)};
      canvas.name(images[i], "led" + std::to_string(i + 1));
    }
  }
  LedImages images;
};

std::string keyed(Point at, LedColor colour) {
  return "keyed " + RecordingCanvas::describe(at) + " led" + std::to_string(static_cast<int>(colour));
}

bool has(const std::vector<std::string>& lines, const std::string& line) {
  return std::ranges::find(lines, line) != lines.end();
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
    RecordingCanvas canvas;
    NamedLights lights_images(canvas);
    LightsState lights;
    lights.ErrorLevel = c.level;
    set_led(lights.TstLed, Green);
    lights.TcpLed = static_cast<LedColor>(9);  // not a colour: not drawn
    draw_status_lights(canvas, lights, lights_images.images, WindowFocus::Background, kBlack, Labels::Keep);
    const auto& lines = canvas.lines();
    for (int i = 0; i < 5; ++i) {
      EXPECT_TRUE(has(lines, keyed({420 + 18 * i, 220}, c.row[static_cast<std::size_t>(i)])))
          << "level " << c.level << " light " << i;
      EXPECT_EQ(lights.ErrorLevelLeds[static_cast<std::size_t>(i)].load(), c.row[static_cast<std::size_t>(i)]);
    }
    EXPECT_TRUE(has(lines, keyed({420, 270}, Green)));            // TST
    EXPECT_TRUE(has(lines, keyed({310, 270}, Blue)));             // HTTPS
    EXPECT_TRUE(canvas.lines_starting("keyed 370,220").empty());  // TCP holds no colour
    EXPECT_TRUE(has(lines, keyed({125, 18}, Red)));               // focus lights: window in the background
    EXPECT_TRUE(has(lines, keyed({409, 18}, Red)));
    EXPECT_TRUE(canvas.lines_starting("text").empty());  // labels kept
  }
}

TEST(NetworkRingTest, CellsRunClockwiseFromTheBottom) {
  const std::pair<int, Point> cells[] = {{0, {420, 420}}, {4, {380, 380}}, {8, {420, 340}}, {12, {460, 380}}};
  for (const auto& [cell, at] : cells) EXPECT_EQ(ring_light_position(cell), at) << cell;
}

TEST(StatusPanelTest, KnobsTurnWithTheLevelsAndTheirRectanglesAreWhereTheyWereDrawn) {
  RecordingCanvas canvas;
  MainWindowImages images;
  EXPECT_FALSE(draw_status_panel(canvas, images, {}, kBlack));
  EXPECT_TRUE(canvas.lines().empty());
  images.knob = images.params_button = Picture{60, 60, std::vector<std::uint32_t>(3600, 0xFF808080)};
  canvas.name(images.knob, "knob");
  canvas.name(images.params_button, "params");
  const auto rects = draw_status_panel(canvas, images, {0.5f, 0.0f, StreamFormat::Opus}, kBlack);
  ASSERT_TRUE(rects);
  EXPECT_EQ(*rects, (ControlRects{Rect(25, 220, 60, 60), Rect(115, 220, 60, 60), Rect(205, 220, 60, 60)}));
  EXPECT_EQ(
      canvas.lines_starting("rotated"),
      (std::vector<std::string>{"rotated 25,220 params 180", "rotated 115,220 knob 330", "rotated 205,220 knob 180"}));
  EXPECT_EQ(canvas.lines_starting("dot").size(), 8u + 7u + 7u);
  EXPECT_EQ(canvas.lines_starting("centred"),
            std::vector<std::string>{"centred 334,179+50x15 OPUS 12 #ffff00 #0 clipped"});
}

TEST(ChannelPanelTest, ShowsTheNameAndMinusOneRightAfterAChange) {
  RecordingCanvas canvas;
  MainWindowImages images;
  ChannelState channel;
  channel.ChannelMemberCount = 4;
  relay::select_channel(channel, 3);
  draw_channel_panel(canvas, channel, images, kBlack);
  EXPECT_TRUE(has(canvas.lines(), "frame 10,80+180x110 #ff0000"));
  EXPECT_TRUE(has(canvas.lines(), "text 160,168 -1 14 #ffffff #0"));
  EXPECT_EQ(canvas.lines_starting("centred").size(), 1u);
}

TEST(CountdownTest, ShowsHoursMinutesSecondsOverTheSystemsScrollBarColour) {
  EXPECT_EQ(format_countdown(4499), u"01:14:59");
  EXPECT_EQ(format_countdown(0), u"00:00:00");
  EXPECT_EQ(format_countdown(3600 + 61), u"01:01:01");
  RecordingCanvas canvas;
  draw_countdown(canvas, 4499, kBlack);
  EXPECT_EQ(canvas.lines().front(), "fill 455,270+55x15 #c8c8c8");
}

TEST(BarColumnColourTest, RampsFromGreenThroughYellowToRed) {
  const std::pair<int, Colour> cases[] = {{0, kGreen},          {1, {2, 255, 0}},   {105, {254, 255, 0}},
                                          {106, {255, 247, 0}}, {135, {255, 1, 0}}, {136, kRed},
                                          {149, kRed}};
  for (const auto& [column, colour] : cases) EXPECT_EQ(bar_column_colour(column, 150), colour) << column;
  const std::pair<int, int> lit[] = {{0, 0}, {127, 0}, {128, 1}, {19199, 149}, {19200, 150}, {32767, 150}, {-200, 0}};
  for (const auto& [level, columns] : lit) EXPECT_EQ(lit_bar_columns(level), columns) << level;
}

TEST(NeedleGeometryTest, OutOfRangeAnglesRestAtTheLowestMarkAndTipsAreTruncated) {
  const std::pair<int, int> angles[] = {{0, 218}, {217, 218}, {218, 218}, {270, 270}, {320, 320}, {321, 218}};
  for (const auto& [angle, drawn] : angles) EXPECT_EQ(drawn_needle_angle(angle), drawn) << angle;
  EXPECT_EQ(needle_tip({75, 84}, 270), (Point{75, 14}));
  EXPECT_EQ(needle_tip({75, 84}, 218), (Point{75 - 55, 84 - 43}));
  EXPECT_EQ(needle_tip({75, 84}, 319), (Point{75 + 52, 84 - 45}));
}

TEST(FrostTest, AveragesRedAndBlueInsideATwoPixelBorderAndKeepsToThePicture) {
  constexpr std::uint32_t kGround = 0xFF1E003C;  // red 30, blue 60
  const struct {
    Rect rect;
    Rect frosted;  // what is at least 2 pixels inside the part on the picture
  } cases[] = {{{1, 1, 14, 8}, {3, 3, 10, 4}},
               {{-5, -5, 10, 10}, {2, 2, 1, 1}},
               {{10, 4, 20, 20}, {12, 6, 2, 2}},
               {{-3, -3, 40, 40}, {2, 2, 12, 6}},
               {{12, 5, 20, 20}, {}},
               {{100, 100, 5, 5}, {}}};
  for (const auto& c : cases) {
    std::vector<std::uint32_t> pixels(16 * 10, kGround);
    frost({pixels.data(), 16, {16, 10}}, c.rect);
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 16; ++x) {
        const std::uint32_t expected = c.frosted.contains({x, y}) ? 0xFF1E7F3C : kGround;
        ASSERT_EQ(pixels[static_cast<std::size_t>(y * 16 + x)], expected) << x << "," << y;
      }
    }
  }
  // Means truncate: (24 × 30 + 254) / 25 = 38.96 and (24 × 60 + 255) / 25 = 67.8.
  std::vector<std::uint32_t> pixels(16 * 10, kGround);
  pixels[4 * 16 + 5] = 0xFFFEC8FF;
  frost({pixels.data(), 16, {16, 10}}, {1, 1, 14, 8});
  EXPECT_EQ(pixels[4 * 16 + 5], 0xFF267F43u);
  EXPECT_EQ(pixels[6 * 16 + 7], 0xFF267F43u);
  EXPECT_EQ(pixels[4 * 16 + 8], 0xFF1E7F3Cu);
}

// One clock runs every panel: the meters at each 50 ms tick, the speaker poll
// every twentieth, and the status lights show a new colour within their 200 ms.
TEST(PanelScheduleTest, EachPanelComesRoundOnItsOwnPeriodAndOnlyWhenItChanged) {
  SessionState state;
  MainWindowImages images;
  RecordingSurface surface(kMainWindowSize);
  MainScreen window(state, surface, [] {});
  ManualLoop loop;
  int polls = 0, meter_steps = 0;
  PanelSchedule panels(
      state, images, [&window] { return &window; }, loop, [](platform::AudioEndpoint) { return std::optional(0.5f); },
      [&polls] { ++polls; }, [&meter_steps] { ++meter_steps; });
  panels.start();
  EXPECT_EQ(loop.periods, std::vector<std::chrono::milliseconds>{PanelSchedule::kTick});
  for (int tick = 1; tick <= 40; ++tick) {
    panels.tick();
    EXPECT_EQ(polls, tick / 20) << tick;
  }
  EXPECT_EQ(meter_steps, 40);

  const auto light_draws = [&] { return surface.canvas.lines_starting("keyed 420,270").size(); };
  const std::size_t drawn = light_draws();
  set_led(state.lights.TstLed, LedColor::Red);
  for (int tick = 0; tick < 3; ++tick) panels.tick();
  EXPECT_EQ(light_draws(), drawn);  // unchanged lights are not drawn again
  panels.tick();
  EXPECT_EQ(light_draws(), drawn + 1);
}

TEST(GifPlayerTest, PlaysTheFramesInOrderAndSharesTheClockWhenItsTickDividesThePeriod) {
  SessionState state;
  RecordingSurface surface(kMainWindowSize);
  MainScreen window(state, surface, [] {});
  ManualLoop loop;
  GifAnimation animation;
  for (int i = 0; i < 3; ++i) animation.frames.push_back(Picture{150, 150, std::vector<std::uint32_t>(22500)});
  GifAnimationPlayer player(window, loop, animation);
  for (int step = 0; step < 4; ++step) {
    player.draw_next_gif_frame();
    EXPECT_EQ(player.next_frame(), static_cast<std::uint32_t>((step + 1) % 3));
  }
  EXPECT_EQ(surface.canvas.lines_starting("stretched 350,450+150x150 150x150 into-rect").size(), 4u);

  using namespace std::chrono_literals;
  for (const auto period : {100ms, 60ms}) {
    animation.frame_period = period;
    GifAnimationPlayer shared(window, loop, animation);
    shared.start(50ms);
    shared.tick();
    shared.tick();
    EXPECT_EQ(shared.next_frame(), period == 100ms ? 1u : 0u);
    EXPECT_TRUE(shared.is_running());
    shared.stop();
    EXPECT_FALSE(shared.is_running());
  }
  EXPECT_EQ(loop.periods, std::vector<std::chrono::milliseconds>{60ms});
  // A file whose first frame gives no delay, or none above zero, plays at a tenth of a second.
  const std::pair<std::optional<std::chrono::milliseconds>, std::chrono::milliseconds> periods[] = {
      {80ms, 80ms}, {std::nullopt, 100ms}, {0ms, 100ms}};
  for (const auto& [delay, period] : periods) EXPECT_EQ(gif_animation({{}, delay}).frame_period, period);
  GifAnimationPlayer empty(window, loop, GifAnimation{});
  empty.draw_next_gif_frame();  // nothing to draw, no crash
  EXPECT_EQ(empty.next_frame(), 0u);
}

}  // namespace
}  // namespace marvok::screen
