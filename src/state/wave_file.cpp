#include "state/wave_file.h"

#include <cstring>

#include "state/little_endian.h"

namespace marvok {

namespace {

bool tag_at(std::span<const std::uint8_t> b, std::size_t at, const char (&tag)[5]) {
  return std::memcmp(b.data() + at, tag, 4) == 0;
}

constexpr std::uint16_t kPcmFormatTag = 1;
constexpr std::uint16_t kMaxChannels = 8;

}  // namespace

std::optional<WaveSound> parse_wave_file(std::span<const std::uint8_t> file) {
  if (file.size() < 12 || !tag_at(file, 0, "RIFF") || !tag_at(file, 8, "WAVE")) return std::nullopt;

  std::optional<WaveSound> format;
  std::size_t at = 12;
  while (at + 8 <= file.size()) {
    const std::uint64_t chunk_size = read_u32_le(file, at + 4);
    const std::size_t body = at + 8;
    if (body + chunk_size > file.size()) return std::nullopt;

    if (tag_at(file, at, "fmt ")) {
      if (chunk_size < 16) return std::nullopt;
      WaveSound sound;
      const std::uint16_t tag = read_u16_le(file, body);
      sound.channels = read_u16_le(file, body + 2);
      sound.frames_per_second = read_u32_le(file, body + 4);
      sound.bits_per_sample = read_u16_le(file, body + 14);
      if (tag != kPcmFormatTag || sound.channels == 0 || sound.channels > kMaxChannels ||
          sound.frames_per_second == 0 || (sound.bits_per_sample != 8 && sound.bits_per_sample != 16))
        return std::nullopt;
      format = sound;
    } else if (tag_at(file, at, "data")) {
      if (!format) return std::nullopt;
      const std::size_t frame_bytes = std::size_t{format->channels} * format->bits_per_sample / 8;
      const std::size_t whole = static_cast<std::size_t>(chunk_size) / frame_bytes * frame_bytes;
      format->samples = file.subspan(body, whole);
      return format;
    }
    // Chunks are padded to an even length.
    at = body + static_cast<std::size_t>(chunk_size) + (chunk_size & 1);
  }
  return std::nullopt;
}

}  // namespace marvok
