#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace marvok {

// Integer PCM sound held in a RIFF/WAVE file.
struct WaveSound {
  std::uint16_t channels = 0;
  std::uint32_t frames_per_second = 0;
  std::uint16_t bits_per_sample = 0;
  std::span<const std::uint8_t> samples;  // whole frames only, inside the file's bytes
};

// Reads the format and sample data of a RIFF/WAVE file of 8- or 16-bit integer
// PCM. Nothing for anything else, or for a file whose chunks do not fit.
std::optional<WaveSound> parse_wave_file(std::span<const std::uint8_t> file);

}  // namespace marvok
