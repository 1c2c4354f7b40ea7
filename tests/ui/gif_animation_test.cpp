#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <functional>
#include <optional>
#include <vector>

#include "state/session_state.h"
#include "ui/gif_player.h"
#include "ui/main_window.h"

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

// Palette indexes of the test pictures.
enum : std::uint8_t { kRed = 0, kGreen = 1, kBlue = 2 };

struct TestFrame {
  std::function<std::uint8_t(int x, int y)> pixel;
  // Hundredths of a second; nothing writes the frame without its control block.
  std::optional<std::uint16_t> delay;
};

void put_u16(QByteArray& out, int value) {
  out.append(static_cast<char>(value & 0xFF));
  out.append(static_cast<char>((value >> 8) & 0xFF));
}

// Image data that any decoder reads: 9-bit codes, a clear code before every
// pixel, so the code table never grows.
QByteArray lzw_pixels(int width, int height, const std::function<std::uint8_t(int, int)>& pixel) {
  QByteArray packed;
  std::uint32_t bits = 0;
  int bit_count = 0;
  const auto emit_code = [&](std::uint32_t code) {
    bits |= code << bit_count;
    bit_count += 9;
    while (bit_count >= 8) {
      packed.append(static_cast<char>(bits & 0xFF));
      bits >>= 8;
      bit_count -= 8;
    }
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      emit_code(256);
      emit_code(pixel(x, y));
    }
  emit_code(257);
  if (bit_count > 0) packed.append(static_cast<char>(bits & 0xFF));

  QByteArray out(1, 8);  // minimum code size
  for (qsizetype at = 0; at < packed.size(); at += 255) {
    const QByteArray block = packed.mid(at, 255);
    out.append(static_cast<char>(block.size()));
    out.append(block);
  }
  out.append('\0');
  return out;
}

QByteArray gif_bytes(int width, int height, const std::vector<TestFrame>& frames) {
  QByteArray out("GIF89a");
  put_u16(out, width);
  put_u16(out, height);
  out.append(static_cast<char>(0xF7));  // global table of 256 colours
  out.append(2, '\0');
  for (int index = 0; index < 256; ++index) {
    out.append(static_cast<char>(index == kRed ? 255 : 0));
    out.append(static_cast<char>(index == kGreen ? 255 : 0));
    out.append(static_cast<char>(index == kBlue ? 255 : 0));
  }
  for (const TestFrame& frame : frames) {
    if (frame.delay) {
      out.append("\x21\xF9\x04\x00", 4);
      put_u16(out, *frame.delay);
      out.append(2, '\0');
    }
    out.append(',');
    put_u16(out, 0);
    put_u16(out, 0);
    put_u16(out, width);
    put_u16(out, height);
    out.append('\0');
    out.append(lzw_pixels(width, height, frame.pixel));
  }
  out.append(';');
  return out;
}

GifAnimation read(QByteArray bytes) {
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  return read_gif_animation(buffer);
}

TestFrame plain(std::uint8_t colour, std::optional<std::uint16_t> delay) {
  return {[colour](int, int) { return colour; }, delay};
}

TEST(GifAnimation, RunsAtTheFirstFramesDelayOrATenthOfASecond) {
  struct Case {
    const char* name;
    std::vector<TestFrame> frames;
    std::chrono::milliseconds period;
  };
  const Case cases[] = {
      {"eight hundredths", std::vector<TestFrame>(12, plain(kRed, 8)), 80ms},
      {"first delay wins", {plain(kRed, 8), plain(kGreen, 50), plain(kBlue, 2)}, 80ms},
      {"no control block", {plain(kRed, std::nullopt)}, 100ms},
      // Zero would have the window thread redraw without pause.
      {"zero delay", {plain(kRed, 0), plain(kGreen, 0)}, 100ms},
      {"longest delay kept", {plain(kRed, 65535)}, 655350ms},
  };
  for (const Case& c : cases) {
    const GifAnimation animation = read(gif_bytes(4, 4, c.frames));
    EXPECT_EQ(animation.frames.size(), c.frames.size()) << c.name;
    EXPECT_EQ(animation.frame_period, c.period) << c.name;
  }
}

TEST(GifAnimation, ScalesEveryFrameToTheSquare) {
  const TestFrame halves{[](int x, int) { return x < 150 ? kRed : kBlue; }, 5};
  for (const int side : {300, 60}) {
    const GifAnimation animation = read(gif_bytes(side, side, {halves}));
    ASSERT_EQ(animation.frames.size(), 1u) << side;
    const QImage& frame = animation.frames[0];
    EXPECT_EQ(frame.size(), kAnimationFrameSize) << side;
    EXPECT_EQ(QColor(frame.pixel(10, 75)), QColor(Qt::red)) << side;
    EXPECT_EQ(QColor(frame.pixel(140, 75)), QColor(side == 300 ? Qt::blue : Qt::red)) << side;
  }
}

TEST(GifAnimation, DamagedFilesGiveTheFramesBeforeTheFault) {
  const QByteArray whole = gif_bytes(8, 8, {plain(kRed, 8), plain(kGreen, 8), plain(kBlue, 8)});
  struct Case {
    const char* name;
    QByteArray bytes;
    std::size_t at_most_frames;
  };
  const Case cases[] = {
      {"empty", QByteArray(), 0},
      {"header only", whole.left(13), 0},
      {"cut in the second frame", whole.left(whole.size() * 2 / 3), 2},
      {"not a picture", QByteArray("PXXXXXXX not a gif at all"), 0},
  };
  for (const Case& c : cases) EXPECT_LE(read(c.bytes).frames.size(), c.at_most_frames) << c.name;
  EXPECT_GE(read(whole.left(whole.size() * 2 / 3)).frames.size(), 1u);

  QByteArray huge = gif_bytes(8, 8, {plain(kRed, 8)});
  huge[6] = huge[7] = huge[8] = huge[9] = static_cast<char>(0xFF);  // a 65535 × 65535 screen
  EXPECT_LE(read(huge).frames.size(), 1u);
}

TEST(GifAnimation, PlaysTheFramesInOrderAndWraps) {
  SessionState state;
  MainWindow window(state);
  const std::uint8_t colours[] = {kRed, kGreen, kBlue};
  std::vector<TestFrame> frames;
  for (int i = 0; i < 12; ++i) frames.push_back(plain(colours[i % 3], 8));
  GifAnimationPlayer player(window, read(gif_bytes(4, 4, frames)));
  const QColor expected[] = {Qt::red, Qt::green, Qt::blue};
  for (int tick = 0; tick < 13; ++tick) {
    player.draw_next_gif_frame();
    EXPECT_EQ(window.surface().pixelColor(425, 525), expected[tick % 3]) << tick;
    EXPECT_EQ(player.next_frame(), static_cast<std::uint32_t>((tick + 1) % 12)) << tick;
  }

  GifAnimationPlayer empty(window, GifAnimation{});
  empty.draw_next_gif_frame();
  EXPECT_EQ(empty.next_frame(), 0u);
}

}  // namespace
}  // namespace marvok::ui
