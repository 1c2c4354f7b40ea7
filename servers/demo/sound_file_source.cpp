#include "sound_file_source.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "state/little_endian.h"
#include "state/voice_format.h"
#include "state/wave_file.h"

namespace marvok::demo {

std::unique_ptr<SoundFileSource> SoundFileSource::open(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    error = path + ": cannot be read";
    return nullptr;
  }
  const std::optional<WaveSound> sound = parse_wave_file(file);
  if (!sound || sound->frames_per_second != kVoiceFramesPerSecond || sound->bits_per_sample != 16 ||
      sound->channels > 2) {
    error = path + ": not an 8 kHz 16-bit mono or stereo wave file";
    return nullptr;
  }
  std::vector<std::int16_t> samples(sound->samples.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = read_i16_le(sound->samples, 2 * i);
  return std::unique_ptr<SoundFileSource>(
      new SoundFileSource(Utterance{path, to_voice_blocks(samples, sound->channels).value()}));
}

std::optional<Utterance> SoundFileSource::next(std::string&) { return utterance_; }

}  // namespace marvok::demo
