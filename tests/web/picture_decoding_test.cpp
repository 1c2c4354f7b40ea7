// Pictures decoded from the response buffer by the count a request returned.
#include "web/picture_decoding.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <memory>

#include "support/encoded_image.h"
#include "web/web_client.h"

namespace marvok::web {
namespace {

QByteArray encoded(const QImage& image, const char* format) { return testing::encoded_image(image, format); }

class PictureDecodingTest : public ::testing::Test {
 protected:
  // What a request would have left in the buffer; returns the body's length.
  std::int32_t receive(const QByteArray& body) {
    response->begin();
    response->append({reinterpret_cast<const std::uint8_t*>(body.constData()), static_cast<std::size_t>(body.size())});
    return static_cast<std::int32_t>(response->finish());
  }

  std::unique_ptr<ResponseBuffer> response = std::make_unique<ResponseBuffer>();
};

TEST_F(PictureDecodingTest, DecodesOnlyACountedBodyOfTheRightKind) {
  QImage image(5, 4, QImage::Format_RGB32);
  image.fill(qRgb(0, 128, 255));
  const QByteArray png = encoded(image, "PNG");
  const QByteArray jpeg = encoded(image, "JPEG");
  const auto png_length = static_cast<std::int32_t>(png.size());

  enum class Reader { PngOnly, AnyFormat };
  const struct {
    const char* name;
    QByteArray body;
    std::int32_t count;  // 0: the body's length
    Reader reader;
    bool decodes;
  } cases[] = {
      {"png", png, 0, Reader::PngOnly, true},
      {"png, any reader", png, 0, Reader::AnyFormat, true},
      {"jpeg, any reader", jpeg, 0, Reader::AnyFormat, true},
      {"jpeg read as png", jpeg, 0, Reader::PngOnly, false},
      {"failed request", png, kRequestFailed, Reader::AnyFormat, false},
      {"no session", png, kNoSession, Reader::PngOnly, false},
      {"count past the body", png, png_length + 1, Reader::AnyFormat, false},
      {"count below a png's signature", png, 7, Reader::PngOnly, false},
      {"empty body", QByteArray(), 0, Reader::AnyFormat, false},
  };
  for (const auto& c : cases) {
    const std::int32_t length = receive(c.body);
    const std::int32_t count = c.count == 0 ? length : c.count;
    const Picture picture =
        c.reader == Reader::PngOnly ? png_to_bitmap(count, *response) : image_to_bitmap(count, *response);
    EXPECT_EQ(!picture.empty(), c.decodes) << c.name;
    if (!c.decodes) continue;
    EXPECT_EQ(picture.width, 5) << c.name;
    EXPECT_EQ(picture.height, 4) << c.name;
  }
}

TEST_F(PictureDecodingTest, SeeThroughPixelsComeOutOpaqueOnBlack) {
  QImage image(4, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgba(200, 100, 50, 255));
  image.setPixel(1, 0, qRgba(200, 100, 50, 128));
  image.setPixel(2, 0, qRgba(255, 255, 255, 1));
  image.setPixel(3, 0, qRgba(0, 0, 255, 0));
  const std::int32_t count = receive(encoded(image, "PNG"));

  for (const Picture& picture : {png_to_bitmap(count, *response), image_to_bitmap(count, *response)}) {
    ASSERT_EQ(picture.pixels.size(), 4u);
    EXPECT_EQ(picture.pixel(0, 0), 0xFFC86432u);
    // Each channel times alpha / 255, rounded to nearest.
    EXPECT_EQ(picture.pixel(1, 0), 0xFF643219u);
    EXPECT_EQ(picture.pixel(2, 0), 0xFF010101u);
    EXPECT_EQ(picture.pixel(3, 0), 0xFF000000u);
  }
}

}  // namespace
}  // namespace marvok::web
