#include "state/wave_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace marvok {
namespace {

using Bytes = std::vector<std::uint8_t>;

void append(Bytes& b, const char* tag) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(tag[i]));
}
void append_u32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void append_u16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

Bytes wave(std::uint16_t format_tag, std::uint16_t channels, std::uint16_t bits, const Bytes& data,
           const Bytes& extra_chunk = {}) {
  Bytes b;
  append(b, "RIFF");
  append_u32(b, 0);
  append(b, "WAVE");
  b.insert(b.end(), extra_chunk.begin(), extra_chunk.end());
  append(b, "fmt ");
  append_u32(b, 16);
  append_u16(b, format_tag);
  append_u16(b, channels);
  append_u32(b, 44100);
  append_u32(b, 44100u * channels * bits / 8);
  append_u16(b, static_cast<std::uint16_t>(channels * bits / 8));
  append_u16(b, bits);
  append(b, "data");
  append_u32(b, static_cast<std::uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

TEST(WaveFileTest, ReadsFormatAndSamples) {
  const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
  const Bytes file = wave(1, 2, 16, data);
  const auto sound = parse_wave_file(file);
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->channels, 2);
  EXPECT_EQ(sound->frames_per_second, 44100u);
  EXPECT_EQ(sound->bits_per_sample, 16);
  EXPECT_EQ(Bytes(sound->samples.begin(), sound->samples.end()), data);
}

TEST(WaveFileTest, SkipsOtherChunksIncludingOddSizedOnes) {
  Bytes list;
  append(list, "LIST");
  append_u32(list, 3);
  list.insert(list.end(), {'a', 'b', 'c', 0});  // padded to an even length
  const auto sound = parse_wave_file(wave(1, 1, 8, {9, 9, 9}, list));
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->samples.size(), 3u);
}

TEST(WaveFileTest, PartialFrameAtTheEndIsDropped) {
  const auto sound = parse_wave_file(wave(1, 2, 16, {1, 2, 3, 4, 5, 6}));
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->samples.size(), 4u);
}

TEST(WaveFileTest, RefusesWhatItCannotPlay) {
  EXPECT_FALSE(parse_wave_file(wave(3, 2, 32, {0, 0, 0, 0})));  // float samples
  EXPECT_FALSE(parse_wave_file(wave(1, 0, 16, {})));
  EXPECT_FALSE(parse_wave_file(wave(1, 2, 24, {0, 0, 0, 0, 0, 0})));
  EXPECT_FALSE(parse_wave_file(Bytes{'R', 'I', 'F', 'F'}));
  Bytes lying = wave(1, 2, 16, {1, 2, 3, 4});
  lying[40] = 0xFF;  // data chunk claims more bytes than the file holds
  EXPECT_FALSE(parse_wave_file(lying));
  Bytes no_data = wave(1, 2, 16, {});
  no_data.resize(no_data.size() - 8);
  EXPECT_FALSE(parse_wave_file(no_data));
}

TEST(WaveFileTest, ShippedChimeIsPlayable) {
  std::ifstream in(std::string(MARVOK_RESOURCE_DIR) + "/chimes.wav", std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto sound = parse_wave_file(file);
  ASSERT_TRUE(sound);
  EXPECT_GT(sound->samples.size(), sound->frames_per_second);  // more than a moment of sound
}

}  // namespace
}  // namespace marvok
