#include "ui/qt/drawing_helpers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QTemporaryDir>

#include "screen/labels.h"
#include "ui/qt/qt_canvas.h"

namespace marvok::ui {
namespace {

const QRgb kGround = qRgb(30, 200, 60);

QImage filled(int width, int height, QRgb colour, QImage::Format format = QImage::Format_RGB32) {
  QImage image(width, height, format);
  image.fill(colour);
  return image;
}

// Whether every pixel of `image` outside `area` is still `colour`.
bool untouched_outside(const QImage& image, const QRect& area, QRgb colour) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      if (!area.contains(x, y) && image.pixel(x, y) != colour) return false;
  }
  return true;
}

TEST(TransparentImageTest, OnlyPureBlackLetsTheSurfaceThrough) {
  for (const auto format : {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888}) {
    QImage source = filled(2, 2, qRgb(0, 0, 0), format);
    source.setPixel(1, 0, qRgb(255, 0, 0));
    source.setPixel(0, 1, qRgb(1, 0, 0));
    QImage surface = filled(4, 4, kGround);
    QPainter painter(&surface);
    TransparentImage(painter, source, 1, 1);
    TransparentImage(painter, QImage(), 0, 0);
    painter.end();
    EXPECT_EQ(surface.pixel(1, 1), kGround) << format;
    EXPECT_EQ(surface.pixel(2, 2), kGround) << format;
    EXPECT_EQ(surface.pixel(2, 1), qRgb(255, 0, 0)) << format;
    EXPECT_EQ(surface.pixel(1, 2), qRgb(1, 0, 0)) << format;
    EXPECT_TRUE(untouched_outside(surface, QRect(1, 1, 2, 2), kGround)) << format;
  }
}

TEST(StretchImageTest, FillsExactlyTheTargetArea) {
  const QImage red = filled(3, 3, qRgb(255, 0, 0));
  for (const QRect target : {QRect(2, 3, 10, 5), QRect(0, 0, 1, 1), QRect(5, 5, 2, 12), QRect(4, 4, 0, 3)}) {
    QImage surface = filled(20, 20, kGround);
    QPainter painter(&surface);
    StretchImage(painter, red, target.x(), target.y(), target.width(), target.height());
    StretchImage(painter, QImage(), 0, 0, 5, 5);
    painter.end();
    EXPECT_TRUE(untouched_outside(surface, target, kGround)) << target.x() << "," << target.y();
    if (!target.isEmpty()) {
      EXPECT_EQ(surface.pixel(target.topLeft()), qRgb(255, 0, 0));
      EXPECT_EQ(surface.pixel(target.bottomRight()), qRgb(255, 0, 0));
    }
  }
}

TEST(RotateImageTest, TurnsClockwiseAboutTheCentre) {
  QImage source = filled(4, 4, qRgb(255, 255, 255));
  source.setPixel(0, 0, qRgb(255, 0, 0));
  const struct {
    double angle;
    QPoint corner;
  } cases[] = {{0, {0, 0}}, {90, {3, 0}}, {180, {3, 3}}, {-90, {0, 3}}, {450, {3, 0}}};
  for (const auto& c : cases) {
    const QImage rotated = RotateImage(source, c.angle);
    EXPECT_EQ(rotated.format(), QImage::Format_ARGB32);
    EXPECT_EQ(rotated.pixel(c.corner), qRgb(255, 0, 0)) << c.angle;
    EXPECT_EQ(rotated.pixel(2, 2), qRgb(255, 255, 255)) << c.angle;
  }
  EXPECT_TRUE(RotateImage(QImage(), 90).isNull());
}

TEST(RotateImageTest, KeepsTheSizeOverOpaqueBlack) {
  const QImage wide = RotateImage(filled(6, 2, qRgb(255, 255, 255)), 90);
  ASSERT_EQ(wide.size(), QSize(6, 2));
  EXPECT_EQ(wide.pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_EQ(wide.pixel(5, 1), qRgb(0, 0, 0));
  EXPECT_EQ(wide.pixel(2, 0), qRgb(255, 255, 255));
  EXPECT_EQ(wide.pixel(3, 1), qRgb(255, 255, 255));
  const QImage clear = RotateImage(filled(5, 5, qRgba(0, 0, 0, 0), QImage::Format_ARGB32), 30);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(clear.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;
}

TEST(DrawTextTest, LabelFillsItsBackgroundAndTextLeavesItAlone) {
  QImage surface = filled(200, 40, kGround);
  QPainter painter(&surface);
  QtCanvas canvas(painter);
  const screen::Rect label = screen::draw_label(canvas, u"Label", {10, 5}, screen::Colour{0x20, 0x40, 0x80});
  screen::draw_utf8_text(canvas, "Gr\xC3\xBC\xC3\x9F\x65 \xFF\xFE bad", {100, 5}, screen::kRed);
  painter.end();
  EXPECT_EQ(label.top_left(), (screen::Point{10, 5}));
  EXPECT_NEAR(label.height, 14, 1);
  EXPECT_EQ(surface.pixel(10, 5), qRgb(0x20, 0x40, 0x80));
  EXPECT_EQ(surface.pixel(100, 5), kGround);
  int red = 0;
  for (int y = 5; y < 25; ++y)
    for (int x = 100; x < 200; ++x) red += qRed(surface.pixel(x, y)) > 200 && qGreen(surface.pixel(x, y)) < 100;
  EXPECT_GT(red, 20);
}

// Installs a one-icon theme holding "marvok-test-tool": a red 32 × 32 square in a clear 64 × 64 icon.
class DrawExeIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("test-theme/64x64/apps")));
    QFile index(dir_.filePath(QStringLiteral("test-theme/index.theme")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=test-theme\nDirectories=64x64/apps\n\n[64x64/apps]\nSize=64\nType=Fixed\n");
    index.close();
    QImage icon = filled(64, 64, qRgba(0, 0, 0, 0), QImage::Format_ARGB32);
    QPainter(&icon).fillRect(16, 16, 32, 32, Qt::red);
    ASSERT_TRUE(icon.save(dir_.filePath(QStringLiteral("test-theme/64x64/apps/marvok-test-tool.png"))));
    QIcon::setThemeSearchPaths({dir_.path()});
    QIcon::setThemeName(QStringLiteral("test-theme"));
  }
  void TearDown() override {
    QIcon::setThemeName(saved_theme_);
    QIcon::setThemeSearchPaths(saved_paths_);
  }

 private:
  QTemporaryDir dir_;
  QString saved_theme_ = QIcon::themeName();
  QStringList saved_paths_ = QIcon::themeSearchPaths();
};

TEST_F(DrawExeIconTest, DrawsTheThemeIconNamedAfterTheProgramOnly) {
  const QRgb window = QApplication::palette().color(QPalette::Window).rgb();
  const struct {
    const char* executable;
    int index;
    bool drawn;
  } cases[] = {{"/usr/bin/marvok-test-tool", 0, true},
               {"marvok-test-tool", 0, true},
               {"/usr/bin/marvok-test-tool", 1, false},
               {"/usr/bin/no-such-program-icon", 0, false},
               {"", 0, false}};
  for (const auto& c : cases) {
    QImage surface = filled(200, 120, kGround);
    QPainter painter(&surface);
    EXPECT_EQ(DrawExeIcon(painter, c.index, QString::fromUtf8(c.executable), 30), c.drawn) << c.executable;
    painter.end();
    const QRect icon(50, 30, 64, 64);
    EXPECT_TRUE(untouched_outside(surface, c.drawn ? icon : QRect(), kGround)) << c.executable;
    if (c.drawn) {
      EXPECT_EQ(surface.pixel(50, 30), window);
      EXPECT_EQ(surface.pixel(113, 93), window);
      EXPECT_EQ(surface.pixel(82, 62), qRgb(255, 0, 0));
    }
  }
}

}  // namespace
}  // namespace marvok::ui
