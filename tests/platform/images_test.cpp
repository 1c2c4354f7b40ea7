#include "platform/images.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "state/led_color.h"
#include "state/led_image_file.h"

namespace marvok::platform {
namespace {

const QString kResources = QStringLiteral(MARVOK_RESOURCE_DIR);

TEST(ImagesTest, LoadsAShippedBitmap) {
  const QImage knob = load_bmp_file(kResources + "/btn-fleche.bmp");
  ASSERT_FALSE(knob.isNull());
  EXPECT_EQ(knob.size(), QSize(50, 50));
}

TEST(ImagesTest, MissingOrNonBmpFileGivesNoImage) {
  EXPECT_TRUE(load_bmp_file(kResources + "/absent.bmp").isNull());
  QTemporaryDir dir;
  const QString png_named_bmp = dir.filePath("fake.bmp");
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(picture.save(png_named_bmp, "PNG"));
  EXPECT_TRUE(load_bmp_file(png_named_bmp).isNull());
}

TEST(ImagesTest, EveryShippedLightDecodes) {
  const auto file = LedImageFile::load((kResources + "/mini_leds.bmf").toStdString());
  ASSERT_TRUE(file);
  for (int code = 1; code <= kLedColorCount; ++code) {
    const auto blob = file->find(led_image_name(static_cast<LedColor>(code)));
    ASSERT_TRUE(blob);
    const QImage light = decode_bmp(*blob);
    EXPECT_EQ(light.size(), QSize(16, 16)) << code;
  }
}

TEST(ImagesTest, GarbageDoesNotDecode) {
  const std::uint8_t garbage[] = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  EXPECT_TRUE(decode_bmp(garbage).isNull());
}

}  // namespace
}  // namespace marvok::platform
