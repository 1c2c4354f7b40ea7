#include "ui/level_meters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTemporaryDir>
#include <cmath>

#include "audio/level_meter.h"
#include "state/session_state.h"
#include "ui/main_window.h"

namespace marvok::ui {
namespace {

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

// The colours of a bar's ten rows must agree; returns that of the top row.
QColor bar_column(const QImage& image, int x) {
  const QColor top = image.pixelColor(x, kBarTop);
  for (int y = kBarTop + 1; y < kBarBottom; ++y) EXPECT_EQ(image.pixelColor(x, y), top) << x << "," << y;
  return top;
}

int count_colour(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == colour) ++count;
  }
  return count;
}

TEST(BarColumnColourTest, RampsFromGreenThroughYellowToRed) {
  EXPECT_EQ(bar_column_colour(0, 150), kGreen);
  EXPECT_EQ(bar_column_colour(1, 150), QColor(2, 255, 0));
  // 105 / 150 is just below 0.7 in single precision: still the green ramp.
  EXPECT_EQ(bar_column_colour(105, 150), QColor(254, 255, 0));
  EXPECT_EQ(bar_column_colour(106, 150), QColor(255, 247, 0));
  // 135 / 150 is just below 0.9 in single precision: still on the ramp.
  EXPECT_EQ(bar_column_colour(135, 150), QColor(255, 1, 0));
  EXPECT_EQ(bar_column_colour(136, 150), kRed);
  EXPECT_EQ(bar_column_colour(149, 150), kRed);
}

TEST(BarColumnColourTest, EveryColumnFollowsTheRamps) {
  for (int i = 0; i < 150; ++i) {
    const QColor colour = bar_column_colour(i, 150);
    EXPECT_EQ(colour.blue(), 0) << i;
    if (i <= 105) {
      EXPECT_EQ(colour.green(), 255) << i;
      EXPECT_LE(colour.red(), 254) << i;
    } else if (i <= 135) {
      EXPECT_EQ(colour.red(), 255) << i;
      EXPECT_GE(colour.green(), 1) << i;
      EXPECT_LE(colour.green(), 247) << i;
    } else {
      EXPECT_EQ(colour, kRed) << i;
    }
    if (i > 0) {
      const QColor before = bar_column_colour(i - 1, 150);
      EXPECT_GE(colour.red(), before.red()) << i;
      EXPECT_LE(colour.green(), before.green()) << i;
    }
  }
}

TEST(LitBarColumnsTest, EachColumnTakes128AndTheBarHas150) {
  EXPECT_EQ(lit_bar_columns(0), 0);
  EXPECT_EQ(lit_bar_columns(127), 0);
  EXPECT_EQ(lit_bar_columns(128), 1);
  EXPECT_EQ(lit_bar_columns(255), 1);
  EXPECT_EQ(lit_bar_columns(19199), 149);
  EXPECT_EQ(lit_bar_columns(19200), 150);
  EXPECT_EQ(lit_bar_columns(32767), 150);
  EXPECT_EQ(lit_bar_columns(-200), 0);
}

TEST(NeedleGeometryTest, OutOfRangeAnglesRestAtTheLowestMark) {
  EXPECT_EQ(drawn_needle_angle(0), 218);
  EXPECT_EQ(drawn_needle_angle(217), 218);
  EXPECT_EQ(drawn_needle_angle(218), 218);
  EXPECT_EQ(drawn_needle_angle(270), 270);
  EXPECT_EQ(drawn_needle_angle(320), 320);
  EXPECT_EQ(drawn_needle_angle(321), 218);
}

TEST(NeedleGeometryTest, TipOffsetsAreTruncatedTowardZero) {
  const QPoint pivot(75, 84);
  EXPECT_EQ(needle_tip(pivot, 270), QPoint(75, 14));
  EXPECT_EQ(needle_tip(pivot, 218), QPoint(75 - 55, 84 - 43));
  EXPECT_EQ(needle_tip(pivot, 319), QPoint(75 + 52, 84 - 45));
}

class LevelMetersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_folder_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QStringLiteral(MARVOK_RESOURCE_DIR)));
  }
  void TearDown() override { QDir::setCurrent(previous_folder_); }

  static NeedleMeter* meter(MainWindow& window, const char* name) {
    return window.findChild<NeedleMeter*>(QString::fromLatin1(name));
  }

  QString previous_folder_;
  SessionState state_;
  LevelMeterState meters_;
};

TEST_F(LevelMetersTest, MetersAreChildrenOfTheMainWindowAndDieWithIt) {
  auto* window = new MainWindow(state_);
  create_level_meters(*window, meters_);
  QPointer<NeedleMeter> left = meter(*window, "VuMeterLeftClass");
  QPointer<NeedleMeter> right = meter(*window, "VuMeterRightClass");
  ASSERT_TRUE(left);
  ASSERT_TRUE(right);
  EXPECT_EQ(left->parentWidget(), window);
  EXPECT_EQ(left->geometry(), QRect(200, 80, 150, 84));
  EXPECT_EQ(right->geometry(), QRect(370, 80, 150, 84));
  EXPECT_EQ(left->dial().size(), QSize(150, 84));
  EXPECT_EQ(left->palette().color(QPalette::Window), QColor(128, 128, 128));
  delete window;
  EXPECT_FALSE(left);
  EXPECT_FALSE(right);
}

TEST_F(LevelMetersTest, BarsAreDrawnUnderTheMetersOnTheMainWindow) {
  MainWindow window(state_);
  meters_.LeftBarLevel = 19200;
  meters_.RightBarLevel = 128 * 10;
  draw_level_bars(window, meters_);
  const QImage& surface = window.surface();
  for (int i = 0; i < kBarWidth; ++i) {
    EXPECT_EQ(bar_column(surface, 200 + i), bar_column_colour(i, kBarWidth)) << i;
    EXPECT_EQ(bar_column(surface, 370 + i), i < 10 ? bar_column_colour(i, kBarWidth) : kUnlitBarColour) << i;
  }
  // Nothing outside the two bars is touched.
  for (const QPoint outside : {QPoint(199, 170), QPoint(350, 170), QPoint(369, 170), QPoint(520, 170), QPoint(250, 165),
                               QPoint(250, 176), QPoint(400, 165), QPoint(400, 176)})
    EXPECT_EQ(surface.pixelColor(outside), kBlack) << outside.x() << "," << outside.y();
}

TEST_F(LevelMetersTest, BarLevelsBelowOneColumnLightNothing) {
  MainWindow window(state_);
  meters_.LeftBarLevel = 127;
  meters_.RightBarLevel = 128;
  draw_level_bars(window, meters_);
  for (int i = 0; i < kBarWidth; ++i) EXPECT_EQ(bar_column(window.surface(), 200 + i), kUnlitBarColour) << i;
  EXPECT_EQ(bar_column(window.surface(), 370), kGreen);
  for (int i = 1; i < kBarWidth; ++i) EXPECT_EQ(bar_column(window.surface(), 370 + i), kUnlitBarColour) << i;
}

TEST_F(LevelMetersTest, NeedleAt270IsVerticalAboveThePivot) {
  MainWindow window(state_);
  create_level_meters(window, meters_);
  NeedleMeter* left = meter(window, "VuMeterLeftClass");
  ASSERT_TRUE(left);
  meters_.LeftNeedleAngle = 270;
  left->redraw();
  const QImage& image = left->surface();
  for (int y = 15; y < 84; ++y) EXPECT_EQ(image.pixelColor(75, y), kNeedleColour) << y;
  // Three pixels wide, and the dial elsewhere.
  EXPECT_EQ(image.pixelColor(74, 50), kNeedleColour);
  EXPECT_EQ(image.pixelColor(76, 50), kNeedleColour);
  EXPECT_NE(image.pixelColor(72, 50), kNeedleColour);
  EXPECT_EQ(image.pixelColor(10, 40), left->dial().pixelColor(10, 40));
  EXPECT_EQ(image.pixelColor(75, 5), left->dial().pixelColor(75, 5));
}

TEST_F(LevelMetersTest, NeedleRestsAt218BeforeTheFirstMeasurement) {
  MainWindow window(state_);
  create_level_meters(window, meters_);
  NeedleMeter* right = meter(window, "VuMeterRightClass");
  ASSERT_TRUE(right);
  right->redraw();
  const QImage& image = right->surface();
  // Points along the line from (75, 84) to (20, 41), rounded to pixels.
  for (int step = 1; step < 10; ++step) {
    const double t = step / 10.0;
    const QPoint on_line(static_cast<int>(std::lround(75 - 55 * t)), static_cast<int>(std::lround(84 - 43 * t)));
    EXPECT_EQ(image.pixelColor(on_line), kNeedleColour) << step;
  }
  EXPECT_NE(image.pixelColor(75, 50), kNeedleColour);
}

TEST_F(LevelMetersTest, EachMeterFollowsItsOwnAngleAndOnlyTheLeftDrawsTheBars) {
  MainWindow window(state_);
  create_level_meters(window, meters_);
  NeedleMeter* left = meter(window, "VuMeterLeftClass");
  NeedleMeter* right = meter(window, "VuMeterRightClass");
  meters_.LeftNeedleAngle = 319;
  meters_.RightNeedleAngle = 270;
  meters_.LeftBarLevel = 19200;
  meters_.RightBarLevel = 19200;
  right->redraw();
  EXPECT_EQ(window.surface().pixelColor(200, kBarTop), kBlack);
  EXPECT_EQ(right->surface().pixelColor(75, 40), kNeedleColour);
  left->redraw();
  EXPECT_EQ(window.surface().pixelColor(200, kBarTop), kGreen);
  EXPECT_EQ(window.surface().pixelColor(519, kBarTop), kRed);
  EXPECT_NE(left->surface().pixelColor(75, 40), kNeedleColour);
  EXPECT_EQ(left->surface().pixelColor(75 + 26, 84 - 22), kNeedleColour);  // half way to (127, 39)
}

TEST_F(LevelMetersTest, EachStepRedrawsTheMetersAndTheBars) {
  MainWindow window(state_);
  const LevelMeters created = create_level_meters(window, meters_);
  NeedleMeter* left = meter(window, "VuMeterLeftClass");
  NeedleMeter* right = meter(window, "VuMeterRightClass");
  meters_.LeftNeedleAngle = 270;
  meters_.RightNeedleAngle = 270;
  meters_.RightBarLevel = 19200;
  redraw_level_meters(created);
  EXPECT_EQ(left->surface().pixelColor(75, 40), kNeedleColour);
  EXPECT_EQ(right->surface().pixelColor(75, 40), kNeedleColour);
  EXPECT_EQ(window.surface().pixelColor(519, kBarTop), kRed);

  meters_.LeftNeedleAngle = 218;
  redraw_level_meters(created);
  EXPECT_NE(left->surface().pixelColor(75, 40), kNeedleColour);
}

TEST_F(LevelMetersTest, WithoutADialTheNeedlePivotsAtTheCorner) {
  QTemporaryDir empty;
  ASSERT_TRUE(QDir::setCurrent(empty.path()));
  MainWindow window(state_);
  create_level_meters(window, meters_);
  NeedleMeter* left = meter(window, "VuMeterLeftClass");
  ASSERT_TRUE(left);
  EXPECT_TRUE(left->dial().isNull());
  meters_.LeftNeedleAngle = 270;
  left->redraw();
  const QImage& image = left->surface();
  EXPECT_EQ(image.size(), QSize(150, 84));
  // The needle points up out of the image: only its round end at (0, 0) shows.
  EXPECT_EQ(image.pixelColor(0, 0), kNeedleColour);
  const int needle_pixels = count_colour(image, kNeedleColour);
  EXPECT_GE(needle_pixels, 1);
  EXPECT_LE(needle_pixels, 4);
  EXPECT_EQ(count_colour(image, QColor(128, 128, 128)), 150 * 84 - needle_pixels);
}

}  // namespace
}  // namespace marvok::ui
