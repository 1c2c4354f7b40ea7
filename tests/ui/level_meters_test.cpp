#include "ui/qt/level_meters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>

#include "audio/level_meter.h"
#include "state/session_state.h"
#include "ui/qt/main_window.h"

namespace marvok::ui {
namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

int count_colour(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == colour) ++count;
  }
  return count;
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
  EXPECT_EQ(left->dial().width, 150);
  EXPECT_EQ(left->dial().height, 84);
  EXPECT_EQ(left->palette().color(QPalette::Window), QColor(128, 128, 128));
  delete window;
  EXPECT_FALSE(left);
  EXPECT_FALSE(right);
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
  EXPECT_EQ(window.surface().pixelColor(200, screen::kBarTop), QColor(0, 0, 0));
  EXPECT_EQ(right->surface().pixelColor(75, 40), to_qcolor(screen::kNeedleColour));
  left->redraw();
  EXPECT_EQ(window.surface().pixelColor(200, screen::kBarTop), kGreen);
  EXPECT_EQ(window.surface().pixelColor(519, screen::kBarTop), kRed);
  EXPECT_NE(left->surface().pixelColor(75, 40), to_qcolor(screen::kNeedleColour));
  EXPECT_EQ(left->surface().pixelColor(75 + 26, 84 - 22), to_qcolor(screen::kNeedleColour));  // half way to (127, 39)
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
  EXPECT_EQ(left->surface().pixelColor(75, 40), to_qcolor(screen::kNeedleColour));
  EXPECT_EQ(right->surface().pixelColor(75, 40), to_qcolor(screen::kNeedleColour));
  EXPECT_EQ(window.surface().pixelColor(519, screen::kBarTop), kRed);

  meters_.LeftNeedleAngle = 218;
  redraw_level_meters(created);
  EXPECT_NE(left->surface().pixelColor(75, 40), to_qcolor(screen::kNeedleColour));
}

TEST_F(LevelMetersTest, WithoutADialTheNeedlePivotsAtTheCorner) {
  QTemporaryDir empty;
  ASSERT_TRUE(QDir::setCurrent(empty.path()));
  MainWindow window(state_);
  create_level_meters(window, meters_);
  NeedleMeter* left = meter(window, "VuMeterLeftClass");
  ASSERT_TRUE(left);
  EXPECT_TRUE(left->dial().empty());
  meters_.LeftNeedleAngle = 270;
  left->redraw();
  const QImage& image = left->surface();
  EXPECT_EQ(image.size(), QSize(150, 84));
  // The needle points up out of the image: only its round end at (0, 0) shows.
  EXPECT_EQ(image.pixelColor(0, 0), to_qcolor(screen::kNeedleColour));
  const int needle_pixels = count_colour(image, to_qcolor(screen::kNeedleColour));
  EXPECT_GE(needle_pixels, 1);
  EXPECT_LE(needle_pixels, 4);
  EXPECT_EQ(count_colour(image, QColor(128, 128, 128)), 150 * 84 - needle_pixels);
}

}  // namespace
}  // namespace marvok::ui
