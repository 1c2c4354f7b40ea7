// The system's picture decoders against files written byte by byte: the same
// cases for every system's decoders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/pictures.h"
#include "support/picture_files.h"

namespace marvok::platform {
namespace {

using testing::FileBytes;

// Three by two, opaque but for one half-transparent pixel.
Picture sample(std::uint32_t last_pixel = 0x80C86432) {
  Picture picture{3, 2, std::vector<std::uint32_t>(6, 0xFF0A141E)};
  picture.pixels[5] = last_pixel;
  return picture;
}

class ScratchFolder {
 public:
  ScratchFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("marvok-pictures-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::filesystem::path write(const std::string& name, const FileBytes& bytes) const {
    std::ofstream(path_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path_ / name;
  }

 private:
  std::filesystem::path path_;
};

TEST(PictureFormatsTest, DecodesOnlyTheFormatAskedFor) {
  const FileBytes png = testing::png_file(sample());
  const FileBytes bmp = testing::bmp_file(sample());
  const FileBytes garbage = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  const FileBytes cut_png(png.begin(), png.begin() + 20);
  const struct {
    const char* name;
    const FileBytes& bytes;
    PictureFormat format;
    bool decodes;
  } cases[] = {
      {"png as png", png, PictureFormat::Png, true},   {"png as any", png, PictureFormat::Any, true},
      {"bmp as bmp", bmp, PictureFormat::Bmp, true},   {"bmp as any", bmp, PictureFormat::Any, true},
      {"png as bmp", png, PictureFormat::Bmp, false},  {"bmp as png", bmp, PictureFormat::Png, false},
      {"garbage", garbage, PictureFormat::Bmp, false}, {"garbage as any", garbage, PictureFormat::Any, false},
      {"cut png", cut_png, PictureFormat::Png, false}, {"nothing", {}, PictureFormat::Any, false},
  };
  for (const auto& c : cases) {
    const Picture picture = decode_picture(c.bytes, c.format);
    EXPECT_EQ(!picture.empty(), c.decodes) << c.name;
    if (!c.decodes) continue;
    EXPECT_EQ(picture.width, 3) << c.name;
    EXPECT_EQ(picture.height, 2) << c.name;
    EXPECT_EQ(picture.pixel(0, 0), 0xFF0A141Eu) << c.name;
    EXPECT_EQ(picture.pixel(1, 1), 0xFF0A141Eu) << c.name;
  }
  // The alpha a format carries is kept, not laid on anything; a format
  // without one gives opaque pixels.
  EXPECT_EQ(decode_picture(png, PictureFormat::Png).pixel(2, 1), 0x80C86432u);
  EXPECT_EQ(decode_picture(bmp, PictureFormat::Bmp).pixel(2, 1), 0xFFC86432u);
}

TEST(PictureFormatsTest, AFileIsReadAsTheFormatAskedForWhateverItsName) {
  const ScratchFolder folder;
  const auto png_named_bmp = folder.write("fake.bmp", testing::png_file(sample()));
  const auto bmp = folder.write("real.bmp", testing::bmp_file(sample()));
  const struct {
    std::filesystem::path path;
    PictureFormat format;
    int width;
  } cases[] = {
      {png_named_bmp, PictureFormat::Bmp, 0},
      {png_named_bmp, PictureFormat::Any, 3},
      {png_named_bmp, PictureFormat::Png, 3},
      {bmp, PictureFormat::Bmp, 3},
      {bmp, PictureFormat::Png, 0},
      {folder.write("empty.png", {}), PictureFormat::Any, 0},
      {bmp.parent_path() / "absent.bmp", PictureFormat::Bmp, 0},
  };
  for (const auto& c : cases) {
    const Picture picture = load_picture_file(c.path, c.format);
    EXPECT_EQ(picture.width, c.width) << c.path << ' ' << static_cast<int>(c.format);
    EXPECT_EQ(picture.pixels.size(), static_cast<std::size_t>(c.width) * 2) << c.path;
  }
}

// Large enough that the pixels take several deflate blocks.
TEST(PictureFormatsTest, EveryPixelOfALargerPictureComesBack) {
  Picture picture{300, 250, {}};
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      picture.pixels.push_back(0xFF000000u | (static_cast<std::uint32_t>(x * 7 + y) << 8) |
                               (static_cast<std::uint32_t>(x ^ y) & 0xFF));
    }
  }
  EXPECT_TRUE(decode_picture(testing::png_file(picture), PictureFormat::Png) == picture);
  EXPECT_TRUE(decode_picture(testing::bmp_file(picture), PictureFormat::Any) == picture);
}

}  // namespace
}  // namespace marvok::platform
