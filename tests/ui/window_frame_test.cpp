#include "ui/window_frame.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>
#include <QPointer>

#include "state/session_state.h"
#include "ui/fonts.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"

namespace marvok::ui {
namespace {

const QColor kYellowPixel(255, 255, 0);
const QColor kRedPixel(255, 0, 0);
const QColor kBlackPixel(0, 0, 0);

QColor pixel(const MainWindow& window, int x, int y) { return window.surface().pixelColor(x, y); }

// Counts pixels of `area` close to `colour`: text is antialiased, so its
// exact pixels vary with the font; that some are there does not.
int count_near(const QImage& image, const QRect& area, const QColor& colour) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
          std::abs(c.blue() - colour.blue()) < 40)
        ++count;
    }
  }
  return count;
}

class WindowFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { state_.display.CloseCrossShown = CrossVisibility::Shown; }

  SessionState state_;
};

TEST(MainWindowPlacementTest, CentredOnTheScreen) {
  EXPECT_EQ(centred_top_left({1920, 1080}, kMainWindowSize), QPoint(685, 175));
  EXPECT_EQ(centred_top_left({1366, 768}, kMainWindowSize), QPoint(408, 19));
  EXPECT_EQ(centred_top_left({1025, 701}, {550, 730}), QPoint(237, -15));
}

TEST(MainWindowPlacementTest, CornersAreCutByTheRoundedRegion) {
  const QRegion region = rounded_window_region();
  EXPECT_EQ(region.boundingRect(), QRect(0, 0, 550, 730));
  EXPECT_TRUE(region.contains(QPoint(275, 365)));
  EXPECT_TRUE(region.contains(QPoint(275, 0)));
  EXPECT_TRUE(region.contains(QPoint(0, 365)));
  for (const QPoint corner : {QPoint(0, 0), QPoint(549, 0), QPoint(0, 729), QPoint(549, 729), QPoint(1, 1)})
    EXPECT_FALSE(region.contains(corner)) << corner.x() << "," << corner.y();
}

TEST_F(WindowFrameTest, FrameShowsYellowOutlinesTitleCrossAndVersion) {
  MainWindow window(state_);
  window.update_now();
  EXPECT_EQ(pixel(window, 1, 365), kYellowPixel);    // left edge of the outline
  EXPECT_EQ(pixel(window, 548, 365), kYellowPixel);  // right edge
  EXPECT_EQ(pixel(window, 275, 650), kYellowPixel);  // top of the bottom frame
  EXPECT_EQ(pixel(window, 275, 400), kBlackPixel);   // the background inside
  EXPECT_EQ(pixel(window, 275, 685), kBlackPixel);   // inside the bottom frame
  EXPECT_EQ(pixel(window, 525, 25), kRedPixel);      // where the cross's strokes meet
  EXPECT_GT(count_near(window.surface(), kTitleArea, kYellowPixel), 80);
  EXPECT_GT(count_near(window.surface(), QRect(430, 605, 90, 16), QColor(255, 255, 255)), 30);
  EXPECT_GT(count_near(window.surface(), kCreditArea, kYellowPixel), 20);
  EXPECT_TRUE(state_.display.ForceRefetch.load());
}

TEST_F(WindowFrameTest, FrameUsesTheBackgroundColour) {
  state_.display.BackgroundColor = 0x00804020;  // 0x00BBGGRR
  MainWindow window(state_);
  window.update_now();
  EXPECT_EQ(pixel(window, 275, 400), QColor(0x20, 0x40, 0x80));
}

TEST_F(WindowFrameTest, CrossIsHiddenUntilAllowedAndYellowWhenHovered) {
  state_.display.CloseCrossShown = CrossVisibility::Hidden;
  MainWindow window(state_);
  window.update_now();
  EXPECT_EQ(pixel(window, 525, 25), kBlackPixel);

  state_.display.CloseCrossShown = CrossVisibility::Shown;
  window.draw(kCloseArea, [&](QPainter& painter) { draw_close_cross(painter, state_.display, CrossHover::Inside); });
  EXPECT_EQ(pixel(window, 525, 25), kYellowPixel);
}

TEST_F(WindowFrameTest, RepaintRedrawsTheFrameOnlyWhereAsked) {
  MainWindow window(state_);
  window.update_now();
  const QRect panel(100, 300, 20, 20);
  window.draw(panel, [&](QPainter& painter) { painter.fillRect(panel, Qt::green); });
  window.update_now();  // nothing asked: the panel stays
  EXPECT_EQ(pixel(window, 110, 310), QColor(Qt::green));

  window.request_repaint(QRect(200, 300, 20, 20));
  window.update_now();
  EXPECT_EQ(pixel(window, 110, 310), QColor(Qt::green));

  window.request_repaint(panel);
  window.update_now();
  EXPECT_EQ(pixel(window, 110, 310), kBlackPixel);
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
  window->draw(QRect(0, 0, 10, 10), [](QPainter& painter) { painter.fillRect(0, 0, 10, 10, Qt::green); });
  EXPECT_NE(pixel(*window, 5, 5), QColor(Qt::green));  // a destroyed window draws nothing
  delete window.data();
}

TEST(FontsTest, ArialLineHeightIsTheAskedCellHeight) {
  for (int height : {12, 14, 16, 17, 20, 30}) EXPECT_NEAR(QFontMetrics(arial_font(height)).height(), height, 1);
}

}  // namespace
}  // namespace marvok::ui
