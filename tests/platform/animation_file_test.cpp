// Animated picture files written byte by byte, read by the system's decoders:
// the same cases for every system's decoders.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/pictures.h"

namespace marvok::platform {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Palette indexes of the test pictures.
enum Index : std::uint8_t { kRed = 0, kGreen = 1, kBlue = 2 };
constexpr std::uint32_t kPixels[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};

// A frame covering `size` × `size` pixels from (`at`, `at`): its left half in
// its colour, its right half blue; its delay in hundredths of a second, no
// control block without one.
struct TestFrame {
  Index colour;
  std::optional<std::uint16_t> delay = 8;
  int at = 0;
  int size = 0;  // 0: the whole picture
};

void put_u16(Bytes& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8 & 0xFF));
}

// A GIF on a four-colour palette. A clear code before every pixel keeps the
// codes 3 bits wide, so any decoder reads it and the writer needs no code table.
Bytes gif_bytes(int side, const std::vector<TestFrame>& frames) {
  Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
  put_u16(out, side);
  put_u16(out, side);
  out.insert(out.end(), {0xF1, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0});  // red, green, blue, black
  for (const TestFrame& frame : frames) {
    const int size = frame.size ? frame.size : side;
    if (frame.delay) {
      out.insert(out.end(), {0x21, 0xF9, 0x04, 0x00});
      put_u16(out, *frame.delay);
      out.insert(out.end(), {0, 0});
    }
    out.push_back(',');
    for (const int value : {frame.at, frame.at, size, size}) put_u16(out, value);
    out.insert(out.end(), {0, 2});  // no local palette; minimum code size 2
    Bytes packed;
    std::uint32_t bits = 0;
    int bit_count = 0;
    const auto put_code = [&](std::uint32_t code) {
      bits |= code << bit_count;
      for (bit_count += 3; bit_count >= 8; bit_count -= 8, bits >>= 8)
        packed.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    };
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) put_code(4), put_code(x < size / 2 ? frame.colour : kBlue);
    put_code(5);
    if (bit_count > 0) packed.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    for (std::size_t at = 0; at < packed.size(); at += 255) {
      const std::size_t length = std::min<std::size_t>(packed.size() - at, 255);
      out.push_back(static_cast<std::uint8_t>(length));
      out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(at),
                 packed.begin() + static_cast<std::ptrdiff_t>(at + length));
    }
    out.push_back(0);
  }
  out.push_back(';');
  return out;
}

Animation read(const Bytes& bytes, std::size_t max_frames = 500) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("marvok-animation-" + std::to_string(bytes.size()) + ".gif");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  Animation animation = load_animation_file(path, max_frames);
  std::filesystem::remove(path);
  return animation;
}

TEST(AnimationFileTest, GivesEveryFrameAndTheFirstFramesDelay) {
  const std::pair<std::vector<TestFrame>, std::optional<std::chrono::milliseconds>> cases[] = {
      {{{kRed, 8}, {kGreen, 50}, {kBlue, 2}}, 80ms},
      {{{kRed, 65535}}, 655350ms},
  };
  for (const auto& [frames, delay] : cases) {
    const Animation animation = read(gif_bytes(4, frames));
    EXPECT_EQ(animation.frames.size(), frames.size());
    EXPECT_EQ(animation.first_delay, delay);
  }
  EXPECT_EQ(read(gif_bytes(4, {{kRed}, {kGreen}, {kBlue}}), 2).frames.size(), 2u);
}

// A frame that covers part of the picture shows over the frames before it.
TEST(AnimationFileTest, FramesAreComposedOverThoseBeforeThemAtThePicturesSize) {
  const Animation animation = read(gif_bytes(8, {{kRed}, {kGreen, 8, 4, 4}}));
  ASSERT_EQ(animation.frames.size(), 2u);
  for (const Picture& frame : animation.frames) {
    EXPECT_EQ(frame.width, 8);
    EXPECT_EQ(frame.height, 8);
  }
  EXPECT_EQ(animation.frames[0].pixel(1, 5), kPixels[kRed]);
  EXPECT_EQ(animation.frames[0].pixel(6, 5), kPixels[kBlue]);
  EXPECT_EQ(animation.frames[1].pixel(1, 5), kPixels[kRed]);  // left from the first frame
  EXPECT_EQ(animation.frames[1].pixel(4, 5), kPixels[kGreen]);
  EXPECT_EQ(animation.frames[1].pixel(6, 5), kPixels[kBlue]);
  EXPECT_EQ(animation.frames[1].pixel(4, 1), kPixels[kBlue]);  // above the second frame
}

TEST(AnimationFileTest, DamagedFilesGiveAtMostTheFramesBeforeTheFault) {
  const Bytes whole = gif_bytes(8, {{kRed}, {kGreen}, {kBlue}});
  Bytes huge = gif_bytes(8, {{kRed}});
  huge[6] = huge[7] = huge[8] = huge[9] = 0xFF;  // a 65535 × 65535 screen
  const Bytes not_a_gif = {'P', 'X', 'X', 'X', 'X', 'X', 'X', 'X', ' ', 'n', 'o', 't'};
  const std::pair<Bytes, std::size_t> cases[] = {
      {Bytes(), 0},
      {Bytes(whole.begin(), whole.begin() + 13), 0},
      {Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * 2 / 3)), 2},
      {not_a_gif, 0},
      {huge, 1},
  };
  for (const auto& [bytes, at_most] : cases) EXPECT_LE(read(bytes).frames.size(), at_most) << bytes.size();
  EXPECT_TRUE(load_animation_file("no-such-animation.gif", 500).frames.empty());
}

}  // namespace
}  // namespace marvok::platform
