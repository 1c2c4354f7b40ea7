#include "ui/qt/picture_image.h"

#include <gtest/gtest.h>

#include <QColor>

namespace marvok::ui {
namespace {

TEST(PictureImageTest, KeepsEveryPixelBothWays) {
  const Picture picture{3, 2, {0xFF000000, 0xFFFF0000, 0xFF00FF00, 0x800000FF, 0x00FFFFFF, 0xFF123456}};
  const QImage image = to_qimage(picture);
  ASSERT_EQ(image.size(), QSize(3, 2));
  EXPECT_EQ(image.pixel(1, 0), 0xFFFF0000u);
  EXPECT_EQ(image.pixel(0, 1), 0x800000FFu);
  EXPECT_EQ(to_picture(image), picture);
}

TEST(PictureImageTest, DrawsOpaquePicturesWithoutAlpha) {
  // Whether the picture lets anything show through decides Qt's format, which
  // decides how it is blended.
  const struct {
    const char* name;
    Picture picture;
    QImage::Format format;
  } cases[] = {
      {"opaque", {2, 1, {0xFF102030, 0xFFFFFFFF}}, QImage::Format_RGB32},
      {"one pixel see-through", {2, 1, {0xFF102030, 0xFEFFFFFF}}, QImage::Format_ARGB32},
  };
  for (const auto& c : cases) EXPECT_EQ(to_qimage(c.picture).format(), c.format) << c.name;
  EXPECT_TRUE(to_qimage(Picture{}).isNull());
}

TEST(PictureImageTest, ReadsEveryQtFormatAsOpaqueUnlessItHasAlpha) {
  // Some decoders give RGB32 with a clear alpha byte: such pixels are opaque.
  QImage clear_alpha_byte(1, 1, QImage::Format_RGB32);
  clear_alpha_byte.setPixel(0, 0, 0x00336699);
  QImage indexed(1, 1, QImage::Format_Indexed8);
  indexed.setColorTable({qRgb(1, 2, 3)});
  indexed.setPixel(0, 0, 0);
  QImage premultiplied(1, 1, QImage::Format_ARGB32_Premultiplied);
  premultiplied.fill(QColor(255, 0, 0, 0x80));

  const struct {
    const char* name;
    QImage image;
    std::uint32_t pixel;
  } cases[] = {
      {"RGB32 with a clear alpha byte", clear_alpha_byte, 0xFF336699},
      {"indexed", indexed, 0xFF010203},
      {"premultiplied", premultiplied, 0x80FF0000},
  };
  for (const auto& c : cases) {
    const Picture picture = to_picture(c.image);
    ASSERT_EQ(picture.pixels.size(), 1u) << c.name;
    EXPECT_EQ(picture.pixel(0, 0), c.pixel) << c.name;
  }
  EXPECT_TRUE(to_picture(QImage()).empty());
}

}  // namespace
}  // namespace marvok::ui
