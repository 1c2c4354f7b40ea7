#include "state/led_image_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace marvok {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put_u32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A 1 × 1 24-bit BMP file.
Bytes tiny_bmp() {
  Bytes bmp(14 + 40 + 4, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  put_u32(bmp, 2, static_cast<std::uint32_t>(bmp.size()));
  put_u32(bmp, 10, 54);
  put_u32(bmp, 14, 40);
  put_u32(bmp, 18, 1);
  put_u32(bmp, 22, 1);
  bmp[26] = 1;
  bmp[28] = 24;
  bmp[54] = 0x20;  // blue
  return bmp;
}

struct Entry {
  std::string name;
  Bytes blob;
};

// Lays a light file out: count, directory, then the blobs in order.
Bytes light_file(const std::vector<Entry>& entries, std::uint32_t count_field) {
  Bytes file(4 + 40 * entries.size(), 0);
  put_u32(file, 0, count_field);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::size_t at = 4 + 40 * i;
    std::memcpy(file.data() + at, entries[i].name.data(), std::min<std::size_t>(32, entries[i].name.size()));
    put_u32(file, at + 32, static_cast<std::uint32_t>(file.size()));
    put_u32(file, at + 36, static_cast<std::uint32_t>(entries[i].blob.size()));
    file.insert(file.end(), entries[i].blob.begin(), entries[i].blob.end());
  }
  return file;
}

Bytes light_file(const std::vector<Entry>& entries) {
  return light_file(entries, static_cast<std::uint32_t>(entries.size()));
}

TEST(LedImageFileTest, FindsEachImageByItsName) {
  Bytes red = tiny_bmp(), green = tiny_bmp();
  green[54] = 0x40;
  const auto file = LedImageFile::parse(light_file({{"LedRed.bmp", red}, {"LedGreen.bmp", green}}));
  ASSERT_TRUE(file);
  const auto found = file->find("LedGreen.bmp");
  ASSERT_TRUE(found);
  EXPECT_EQ(Bytes(found->begin(), found->end()), green);
  EXPECT_TRUE(file->find("LedRed.bmp"));
  EXPECT_FALSE(file->find("LedBlue.bmp"));
  EXPECT_FALSE(file->find("LedRed"));
}

TEST(LedImageFileTest, MoreThanTwentyEntriesIgnoresTheFile) {
  std::vector<Entry> entries(21, Entry{"LedRed.bmp", tiny_bmp()});
  EXPECT_FALSE(LedImageFile::parse(light_file(entries)));
  entries.resize(20);
  EXPECT_TRUE(LedImageFile::parse(light_file(entries)));
  // A huge count in a small file must not be trusted either.
  EXPECT_FALSE(LedImageFile::parse(light_file({{"LedRed.bmp", tiny_bmp()}}, 0xFFFFFFFF)));
}

TEST(LedImageFileTest, FileTooShortForItsCountIsIgnored) {
  EXPECT_FALSE(LedImageFile::parse({}));
  EXPECT_FALSE(LedImageFile::parse({6, 0, 0}));
}

TEST(LedImageFileTest, EntriesCutByTheEndOfTheFileAreLeftOut) {
  Bytes file = light_file({{"LedRed.bmp", tiny_bmp()}});
  put_u32(file, 0, 3);  // announces more entries than the file holds
  const auto parsed = LedImageFile::parse(file);
  ASSERT_TRUE(parsed);
  // The blob's bytes stand where the second entry would be; the third is cut.
  EXPECT_EQ(parsed->entry_count(), 2u);
  EXPECT_TRUE(parsed->find("LedRed.bmp"));

  Bytes cut(file.begin(), file.begin() + 4 + 39);  // the one entry lacks its last byte
  const auto cut_parsed = LedImageFile::parse(cut);
  ASSERT_TRUE(cut_parsed);
  EXPECT_EQ(cut_parsed->entry_count(), 0u);
  EXPECT_FALSE(cut_parsed->find("LedRed.bmp"));
}

TEST(LedImageFileTest, BlobOutsideTheFileYieldsNoImage) {
  Bytes file = light_file({{"LedRed.bmp", tiny_bmp()}, {"LedBlue.bmp", tiny_bmp()}});
  put_u32(file, 4 + 32, static_cast<std::uint32_t>(file.size()));  // starts at the end
  put_u32(file, 44 + 32, 0xFFFFFFF0u);                             // offset + size wraps 32 bits
  put_u32(file, 44 + 36, 0x20u);
  const auto parsed = LedImageFile::parse(file);
  ASSERT_TRUE(parsed);
  EXPECT_FALSE(parsed->find("LedRed.bmp"));
  EXPECT_FALSE(parsed->find("LedBlue.bmp"));

  Bytes cut = light_file({{"LedRed.bmp", tiny_bmp()}});
  cut.pop_back();  // the blob's last byte is missing
  EXPECT_FALSE(LedImageFile::parse(cut)->find("LedRed.bmp"));
}

TEST(LedImageFileTest, BlobWithoutABmpHeaderYieldsNoImage) {
  Bytes not_bmp = tiny_bmp();
  not_bmp[0] = 'P';
  Bytes pixels_outside = tiny_bmp();
  put_u32(pixels_outside, 10, 4000);
  Bytes header_too_big = tiny_bmp();
  put_u32(header_too_big, 14, 4000);
  Bytes header_too_small = tiny_bmp();
  put_u32(header_too_small, 14, 4);
  const Bytes too_short(10, 'B');
  const auto file = LedImageFile::parse(light_file(
      {{"a", not_bmp}, {"b", pixels_outside}, {"c", header_too_big}, {"d", header_too_small}, {"e", too_short}}));
  ASSERT_TRUE(file);
  for (const char* name : {"a", "b", "c", "d", "e"}) EXPECT_FALSE(file->find(name)) << name;
}

TEST(LedImageFileTest, NameWithoutTerminatorMatchesNothing) {
  const std::string full(32, 'L');
  const auto file = LedImageFile::parse(light_file({{full, tiny_bmp()}}));
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->find(full));
  EXPECT_FALSE(file->find(full.substr(0, 31)));
}

TEST(LedImageFileTest, FirstEntryOfANameWins) {
  Bytes second = tiny_bmp();
  second[54] = 0x77;
  const auto file = LedImageFile::parse(light_file({{"LedRed.bmp", tiny_bmp()}, {"LedRed.bmp", second}}));
  EXPECT_EQ((*file->find("LedRed.bmp"))[54], 0x20);
}

TEST(LedImageFileTest, LoadReadsAFileAndRefusesAMissingOne) {
  const std::string path = ::testing::TempDir() + "/lights.bmf";
  const Bytes bytes = light_file({{"LedYellow.bmp", tiny_bmp()}});
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const auto file = LedImageFile::load(path);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->find("LedYellow.bmp"));
  EXPECT_FALSE(LedImageFile::load(path + ".absent"));
}

TEST(LedImageFileTest, ShippedFileHoldsTheSixLights) {
  const auto file = LedImageFile::load(std::string(MARVOK_RESOURCE_DIR) + "/" + kLedImageFileName);
  ASSERT_TRUE(file);
  for (const char* name :
       {"LedRed.bmp", "LedGreen.bmp", "LedBlue.bmp", "LedDarkRed.bmp", "LedDarkBlue.bmp", "LedYellow.bmp"})
    EXPECT_TRUE(file->find(name)) << name;
}

}  // namespace
}  // namespace marvok
