#include "ui/gif_animation.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

// Palette indexes of the test pictures.
enum Colour : std::uint8_t { kRed = 0, kGreen = 1, kBlue = 2 };

// A frame's left half in its colour, its right half blue; its delay in
// hundredths of a second, no control block without one.
struct TestFrame {
  Colour colour;
  std::optional<std::uint16_t> delay = 8;
};

void put_u16(QByteArray& out, int value) {
  out.append(static_cast<char>(value & 0xFF)).append(static_cast<char>(value >> 8 & 0xFF));
}

// A GIF on a four-colour palette. A clear code before every pixel keeps the
// codes 3 bits wide, so any decoder reads it and the writer needs no code table.
QByteArray gif_bytes(int side, const std::vector<TestFrame>& frames) {
  QByteArray out("GIF89a");
  put_u16(out, side);
  put_u16(out, side);
  out.append("\xF1\0\0\xFF\0\0\0\xFF\0\0\0\xFF\0\0\0", 15);  // red, green, blue, black
  for (const TestFrame& frame : frames) {
    if (frame.delay) {
      put_u16(out.append("\x21\xF9\x04\x00", 4), *frame.delay);
      out.append(2, '\0');
    }
    out.append(',');
    for (const int value : {0, 0, side, side}) put_u16(out, value);
    out.append("\0\x02", 2);  // no local palette; minimum code size 2
    QByteArray packed;
    std::uint32_t bits = 0;
    int bit_count = 0;
    const auto put_code = [&](std::uint32_t code) {
      bits |= code << bit_count;
      for (bit_count += 3; bit_count >= 8; bit_count -= 8, bits >>= 8) packed.append(static_cast<char>(bits & 0xFF));
    };
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) put_code(4), put_code(x < side / 2 ? frame.colour : kBlue);
    put_code(5);
    if (bit_count > 0) packed.append(static_cast<char>(bits & 0xFF));
    for (qsizetype at = 0; at < packed.size(); at += 255)
      out.append(static_cast<char>(std::min<qsizetype>(packed.size() - at, 255))).append(packed.mid(at, 255));
    out.append('\0');
  }
  return out.append(';');
}

screen::GifAnimation read(QByteArray bytes) {
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  return read_gif_animation(buffer);
}

TEST(GifAnimation, RunsAtTheFirstFramesDelayOrATenthOfASecond) {
  const std::pair<std::vector<TestFrame>, std::chrono::milliseconds> cases[] = {
      {{{kRed, 8}, {kGreen, 50}, {kBlue, 2}}, 80ms},
      {{{kRed, std::nullopt}}, 100ms},
      {{{kRed, 0}, {kGreen, 0}}, 100ms},  // zero would redraw without pause
      {{{kRed, 65535}}, 655350ms},
  };
  for (const auto& [frames, period] : cases) {
    const screen::GifAnimation animation = read(gif_bytes(4, frames));
    EXPECT_EQ(animation.frames.size(), frames.size());
    EXPECT_EQ(animation.frame_period, period);
  }
}

TEST(GifAnimation, ScalesFramesToTheSquare) {
  const screen::GifAnimation animation = read(gif_bytes(300, {{kRed}}));
  ASSERT_EQ(animation.frames.size(), 1u);
  EXPECT_EQ(animation.frames[0].width, 150);
  EXPECT_EQ(animation.frames[0].height, 150);
  EXPECT_EQ(animation.frames[0].pixel(10, 75), 0xFFFF0000u);
  EXPECT_EQ(animation.frames[0].pixel(140, 75), 0xFF0000FFu);
}

TEST(GifAnimation, DamagedFilesGiveAtMostTheFramesBeforeTheFault) {
  const QByteArray whole = gif_bytes(8, {{kRed}, {kGreen}, {kBlue}});
  QByteArray huge = gif_bytes(8, {{kRed}});
  huge[6] = huge[7] = huge[8] = huge[9] = static_cast<char>(0xFF);  // a 65535 × 65535 screen
  const std::pair<QByteArray, std::size_t> cases[] = {
      {QByteArray(), 0},         {whole.left(13), 0}, {whole.left(whole.size() * 2 / 3), 2},
      {"PXXXXXXX not a gif", 0}, {huge, 1},
  };
  for (const auto& [bytes, at_most] : cases) EXPECT_LE(read(bytes).frames.size(), at_most) << bytes.size();
  EXPECT_GE(read(whole.left(whole.size() * 2 / 3)).frames.size(), 1u);
}

}  // namespace
}  // namespace marvok::ui
