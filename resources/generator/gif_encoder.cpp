#include "gif_encoder.h"

#include <QColor>
#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>

namespace {

constexpr int kPaletteSize = 256;
constexpr int kPopularEntries = 160;  // Smooth gradients need many close shades.
constexpr int kBinCount = 1 << 15;    // Colours are bucketed at 5 bits per channel.
constexpr int kMinCodeSize = 8;
constexpr int kMaxCode = 4095;

int bin_of(QRgb colour) { return ((qRed(colour) >> 3) << 10) | ((qGreen(colour) >> 3) << 5) | (qBlue(colour) >> 3); }

struct Quantizer {
  std::vector<QRgb> palette;
  std::vector<uint8_t> index_of_bin = std::vector<uint8_t>(kBinCount, 0);
};

// Popularity quantizer with spacing: frequent colours are picked first, but a
// colour too close to one already chosen waits for a later, finer pass, so
// small bright details such as electron cores still get their own entries.
Quantizer build_quantizer(const std::vector<QImage>& frames) {
  std::vector<uint64_t> count(kBinCount), sum_red(kBinCount), sum_green(kBinCount), sum_blue(kBinCount);
  for (const QImage& frame : frames) {
    for (int y = 0; y < frame.height(); ++y) {
      const QRgb* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
      for (int x = 0; x < frame.width(); ++x) {
        const int bin = bin_of(line[x]);
        ++count[bin];
        sum_red[bin] += qRed(line[x]);
        sum_green[bin] += qGreen(line[x]);
        sum_blue[bin] += qBlue(line[x]);
      }
    }
  }
  std::vector<int> bins(kBinCount);
  std::iota(bins.begin(), bins.end(), 0);
  std::stable_sort(bins.begin(), bins.end(), [&](int a, int b) { return count[a] > count[b]; });

  const auto average_of = [&](int bin) {
    return qRgb(int(sum_red[bin] / count[bin]), int(sum_green[bin] / count[bin]), int(sum_blue[bin] / count[bin]));
  };
  Quantizer quantizer;
  std::vector<bool> taken(kBinCount, false);
  const auto pick_spaced = [&](int spacing, int palette_limit) {
    for (int bin : bins) {
      if (count[bin] == 0 || int(quantizer.palette.size()) == palette_limit) break;
      if (taken[bin]) continue;
      const QRgb colour = average_of(bin);
      const bool crowded = std::any_of(quantizer.palette.begin(), quantizer.palette.end(), [&](QRgb chosen) {
        return std::abs(qRed(colour) - qRed(chosen)) + std::abs(qGreen(colour) - qGreen(chosen)) +
                   std::abs(qBlue(colour) - qBlue(chosen)) <
               spacing;
      });
      if (!crowded) {
        quantizer.palette.push_back(colour);
        taken[bin] = true;
      }
    }
  };
  pick_spaced(0, kPopularEntries);
  for (int spacing = 48; spacing > 0; spacing /= 2) pick_spaced(spacing, kPaletteSize);
  quantizer.palette.resize(kPaletteSize, qRgb(0, 0, 0));
  for (int bin = 0; bin < kBinCount; ++bin) {
    if (count[bin] == 0) continue;
    const QRgb colour = average_of(bin);
    int best = 0;
    int best_distance = INT32_MAX;
    for (int i = 0; i < kPaletteSize; ++i) {
      const int dr = qRed(colour) - qRed(quantizer.palette[i]);
      const int dg = qGreen(colour) - qGreen(quantizer.palette[i]);
      const int db = qBlue(colour) - qBlue(quantizer.palette[i]);
      const int distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
      if (distance < best_distance) {
        best_distance = distance;
        best = i;
      }
    }
    quantizer.index_of_bin[bin] = uint8_t(best);
  }
  return quantizer;
}

std::vector<uint8_t> index_pixels(const QImage& frame, const Quantizer& quantizer) {
  std::vector<uint8_t> indices;
  indices.reserve(size_t(frame.width()) * frame.height());
  for (int y = 0; y < frame.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
    for (int x = 0; x < frame.width(); ++x) indices.push_back(quantizer.index_of_bin[bin_of(line[x])]);
  }
  return indices;
}

class BitWriter {
 public:
  void write(int code, int width_bits) {
    accumulator_ |= uint32_t(code) << bit_count_;
    bit_count_ += width_bits;
    while (bit_count_ >= 8) {
      bytes_.push_back(uint8_t(accumulator_ & 0xff));
      accumulator_ >>= 8;
      bit_count_ -= 8;
    }
  }
  std::vector<uint8_t> finish() {
    if (bit_count_ > 0) bytes_.push_back(uint8_t(accumulator_ & 0xff));
    return bytes_;
  }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t accumulator_ = 0;
  int bit_count_ = 0;
};

// Variable-width LZW as GIF decoders expect it: codes widen when the table
// reaches a power of two, and a clear code restarts it once it is full.
std::vector<uint8_t> lzw_compress(const std::vector<uint8_t>& pixels) {
  const int clear_code = 1 << kMinCodeSize;
  const int end_code = clear_code + 1;
  std::vector<int16_t> table(size_t(kMaxCode + 1) * 256, -1);
  BitWriter out;
  int code_size_bits = kMinCodeSize + 1;
  int last_code = end_code;

  out.write(clear_code, code_size_bits);
  int prefix = pixels.front();
  for (size_t i = 1; i < pixels.size(); ++i) {
    const int pixel = pixels[i];
    int16_t& slot = table[size_t(prefix) * 256 + pixel];
    if (slot >= 0) {
      prefix = slot;
      continue;
    }
    out.write(prefix, code_size_bits);
    slot = int16_t(++last_code);
    if (last_code >= (1 << code_size_bits)) ++code_size_bits;
    if (last_code == kMaxCode) {
      out.write(clear_code, code_size_bits);
      std::fill(table.begin(), table.end(), int16_t(-1));
      code_size_bits = kMinCodeSize + 1;
      last_code = end_code;
    }
    prefix = pixel;
  }
  out.write(prefix, code_size_bits);
  // The decoder adds one more table entry on reading that last code, and may widen its codes.
  if (last_code + 1 == (1 << code_size_bits) && code_size_bits < 12) ++code_size_bits;
  out.write(end_code, code_size_bits);
  return out.finish();
}

void append_u16(QByteArray& out, int value) {
  out.append(char(value & 0xff));
  out.append(char((value >> 8) & 0xff));
}

void append_sub_blocks(QByteArray& out, const std::vector<uint8_t>& data) {
  for (size_t pos = 0; pos < data.size(); pos += 255) {
    const size_t length = std::min<size_t>(255, data.size() - pos);
    out.append(char(length));
    out.append(reinterpret_cast<const char*>(data.data() + pos), qsizetype(length));
  }
  out.append('\0');
}

void append_header(QByteArray& out, int width_px, int height_px, const std::vector<QRgb>& palette) {
  out.append("GIF89a");
  append_u16(out, width_px);
  append_u16(out, height_px);
  out.append(char(0xF7));  // A global table of 256 entries with 8-bit colour follows.
  out.append('\0');        // The background is palette index 0.
  out.append('\0');        // Pixels are square.
  for (QRgb colour : palette) {
    out.append(char(qRed(colour)));
    out.append(char(qGreen(colour)));
    out.append(char(qBlue(colour)));
  }
  // The NETSCAPE2.0 extension with a count of 0 makes the animation loop forever.
  out.append(
      "\x21\xFF\x0B"
      "NETSCAPE2.0"
      "\x03\x01",
      16);
  append_u16(out, 0);
  out.append('\0');
}

void append_frame(QByteArray& out, const std::vector<uint8_t>& indices, int width_px, int height_px,
                  int delay_centiseconds) {
  out.append("\x21\xF9\x04", 3);
  out.append(char(1 << 2));  // Disposal 1 leaves the frame in place.
  append_u16(out, delay_centiseconds);
  out.append('\0');  // No palette index is transparent.
  out.append('\0');

  out.append(char(0x2C));
  append_u16(out, 0);
  append_u16(out, 0);
  append_u16(out, width_px);
  append_u16(out, height_px);
  out.append('\0');  // There is no local palette and no interlacing.
  out.append(char(kMinCodeSize));
  append_sub_blocks(out, lzw_compress(indices));
}

}  // namespace

QByteArray encode_looping_gif(const std::vector<QImage>& frames, int delay_centiseconds) {
  std::vector<QImage> rgb_frames;
  rgb_frames.reserve(frames.size());
  for (const QImage& frame : frames) rgb_frames.push_back(frame.convertToFormat(QImage::Format_RGB32));
  const Quantizer quantizer = build_quantizer(rgb_frames);
  const int width_px = rgb_frames.front().width();
  const int height_px = rgb_frames.front().height();

  QByteArray out;
  append_header(out, width_px, height_px, quantizer.palette);
  for (const QImage& frame : rgb_frames)
    append_frame(out, index_pixels(frame, quantizer), width_px, height_px, delay_centiseconds);
  out.append(char(0x3B));
  return out;
}
