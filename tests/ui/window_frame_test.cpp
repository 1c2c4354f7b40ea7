// The Qt main window: its outline, its backing image and its end.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPointer>

#include "state/session_state.h"
#include "ui/qt/fonts.h"
#include "ui/qt/main_window.h"

namespace marvok::ui {
namespace {

QColor pixel(const MainWindow& window, int x, int y) { return window.surface().pixelColor(x, y); }

class WindowFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { state_.display.CloseCrossShown = CrossVisibility::Shown; }

  SessionState state_;
};

TEST(MainWindowPlacementTest, CornersAreCutByTheRoundedRegion) {
  const QRegion region = rounded_window_region();
  EXPECT_EQ(region.boundingRect(), QRect(0, 0, 550, 730));
  EXPECT_TRUE(region.contains(QPoint(275, 365)));
  EXPECT_TRUE(region.contains(QPoint(275, 0)));
  EXPECT_TRUE(region.contains(QPoint(0, 365)));
  for (const QPoint corner : {QPoint(0, 0), QPoint(549, 0), QPoint(0, 729), QPoint(549, 729), QPoint(1, 1)})
    EXPECT_FALSE(region.contains(corner)) << corner.x() << "," << corner.y();
}

TEST_F(WindowFrameTest, FrameUsesTheBackgroundColour) {
  state_.display.BackgroundColor = 0x00804020;  // 0x00BBGGRR
  MainWindow window(state_);
  window.update_now();
  EXPECT_EQ(pixel(window, 275, 400), QColor(0x20, 0x40, 0x80));
}

TEST_F(WindowFrameTest, DestroyingRunsTheHandlerOnceAndClosingDestroys) {
  QPointer<MainWindow> window = new MainWindow(state_);
  int destroyed = 0;
  window->set_destroy_handler([&] { ++destroyed; });
  window->show();
  window->close();
  EXPECT_TRUE(window->destroyed());
  EXPECT_FALSE(window->isVisible());
  window->destroy_window();
  EXPECT_EQ(destroyed, 1);
  window->screen().draw(screen::Rect(0, 0, 10, 10), [](screen::Canvas& canvas) {
    canvas.fill_rect({0, 0, 10, 10}, screen::kGreen);
  });
  EXPECT_NE(pixel(*window, 5, 5), QColor(Qt::green));  // a destroyed window draws nothing
  delete window.data();
}

TEST(FontsTest, ArialLineHeightIsTheAskedCellHeight) {
  for (int height : {12, 14, 16, 17, 20, 30}) EXPECT_NEAR(QFontMetrics(arial_font(height)).height(), height, 1);
}

}  // namespace
}  // namespace marvok::ui
