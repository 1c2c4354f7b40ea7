#include "app/panel_schedule.h"

#include <gtest/gtest.h>

#include <QDir>

#include "ui/main_window.h"
#include "ui/main_window_layout.h"

namespace marvok {
namespace {

// One clock runs every panel: the meters at each 50 ms tick, the lights every
// fourth, the speaker poll every twentieth, and the status lights show a new
// colour within their 200 ms.
TEST(PanelScheduleTest, EachTimerComesRoundOnItsOwnPeriod) {
  ASSERT_TRUE(QDir::setCurrent(QStringLiteral(MARVOK_RESOURCE_DIR)));
  SessionState state;
  ui::MainWindowImages images;
  load_led_images(images);
  ui::MainWindow window(state);
  int polls = 0, meter_steps = 0;
  PanelSchedule panels(
      state, images, [&window] { return &window; }, [](platform::AudioEndpoint) { return std::optional(0.5f); },
      [&polls] { ++polls; }, [&meter_steps] { ++meter_steps; });
  for (int tick = 1; tick <= 40; ++tick) {
    panels.tick();
    EXPECT_EQ(polls, tick / 20) << tick;
  }
  EXPECT_EQ(meter_steps, 40);

  const QImage before = window.surface().copy(ui::kStatusLightsArea);
  set_led(state.lights.TstLed, LedColor::Red);
  for (int tick = 0; tick < 3; ++tick) panels.tick();
  EXPECT_EQ(window.surface().copy(ui::kStatusLightsArea), before);
  panels.tick();
  EXPECT_NE(window.surface().copy(ui::kStatusLightsArea), before);
}

}  // namespace
}  // namespace marvok
