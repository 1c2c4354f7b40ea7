#include "platform/pictures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <string>

#include "state/led_color.h"
#include "state/led_image_file.h"
#include "support/encoded_image.h"

namespace marvok::platform {
namespace {

const std::string kResources = MARVOK_RESOURCE_DIR;

QByteArray encoded(const QImage& image, const char* format) { return testing::encoded_image(image, format); }

std::span<const std::uint8_t> bytes_of(const QByteArray& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

TEST(PicturesTest, LoadsAShippedBitmap) {
  const Picture knob = load_picture_file(kResources + "/btn-fleche.bmp", PictureFormat::Bmp);
  ASSERT_FALSE(knob.empty());
  EXPECT_EQ(knob.width, 50);
  EXPECT_EQ(knob.height, 50);
  EXPECT_EQ(knob.pixels.size(), 50u * 50u);
}

TEST(PicturesTest, MissingOrNonBmpFileGivesNoPicture) {
  EXPECT_TRUE(load_picture_file(kResources + "/absent.bmp", PictureFormat::Bmp).empty());
  QTemporaryDir dir;
  const QString png_named_bmp = dir.filePath("fake.bmp");
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(picture.save(png_named_bmp, "PNG"));
  EXPECT_TRUE(load_picture_file(png_named_bmp.toStdString(), PictureFormat::Bmp).empty());
  EXPECT_EQ(load_picture_file(png_named_bmp.toStdString(), PictureFormat::Any).width, 4);
}

TEST(PicturesTest, EveryShippedLightDecodes) {
  const auto file = LedImageFile::load(kResources + "/mini_leds.bmf");
  ASSERT_TRUE(file);
  for (int code = 1; code <= kLedColorCount; ++code) {
    const auto blob = file->find(led_image_name(static_cast<LedColor>(code)));
    ASSERT_TRUE(blob);
    const Picture light = decode_picture(*blob, PictureFormat::Bmp);
    EXPECT_EQ(light.width, 16) << code;
    EXPECT_EQ(light.height, 16) << code;
  }
}

TEST(PicturesTest, DecodesOnlyTheFormatAskedFor) {
  QImage image(3, 2, QImage::Format_ARGB32);
  image.fill(qRgba(10, 20, 30, 255));
  image.setPixel(2, 1, qRgba(200, 100, 50, 0x80));
  const QByteArray png = encoded(image, "PNG");
  const QByteArray bmp = encoded(image.convertToFormat(QImage::Format_RGB32), "BMP");
  const std::uint8_t garbage[] = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

  const struct {
    const char* name;
    std::span<const std::uint8_t> bytes;
    PictureFormat format;
    bool decodes;
  } cases[] = {
      {"png as png", bytes_of(png), PictureFormat::Png, true},
      {"png as any", bytes_of(png), PictureFormat::Any, true},
      {"bmp as bmp", bytes_of(bmp), PictureFormat::Bmp, true},
      {"bmp as any", bytes_of(bmp), PictureFormat::Any, true},
      {"png as bmp", bytes_of(png), PictureFormat::Bmp, false},
      {"bmp as png", bytes_of(bmp), PictureFormat::Png, false},
      {"garbage", garbage, PictureFormat::Bmp, false},
      {"nothing", {}, PictureFormat::Any, false},
  };
  for (const auto& c : cases) {
    const Picture picture = decode_picture(c.bytes, c.format);
    EXPECT_EQ(!picture.empty(), c.decodes) << c.name;
    if (!c.decodes) continue;
    EXPECT_EQ(picture.width, 3) << c.name;
    EXPECT_EQ(picture.height, 2) << c.name;
    EXPECT_EQ(picture.pixel(0, 0), 0xFF0A141Eu) << c.name;
  }
  // The alpha a format carries is kept, not laid on anything.
  EXPECT_EQ(decode_picture(bytes_of(png), PictureFormat::Png).pixel(2, 1), 0x80C86432u);
}

}  // namespace
}  // namespace marvok::platform
