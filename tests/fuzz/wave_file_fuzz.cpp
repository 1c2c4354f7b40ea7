// The start-up sound is read from a file: whatever it holds, the samples
// handed to the sound server must lie inside it and be whole frames.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "state/wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  const auto sound = marvok::parse_wave_file(file);
  if (!sound) return 0;
  const std::size_t frame_bytes = std::size_t{sound->channels} * sound->bits_per_sample / 8;
  if (sound->samples.size() % frame_bytes != 0) std::abort();
  if (sound->samples.data() < data || sound->samples.data() + sound->samples.size() > data + size) std::abort();
  return 0;
}
