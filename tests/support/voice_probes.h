#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "platform/audio_devices.h"

// Probes beside the sound devices under test, on the test sound server: the
// default microphone hears what is played into the sink "MicFeed" (mic), and
// what the default output plays is heard on that of "Speaker" (spk).
namespace marvok::testing {

// The next 4000-byte voice buffer of a tone, both channels alike; `frame`
// counts the frames written so far, so buffers follow on without a click.
inline std::array<std::uint8_t, platform::kOutputBufferBytes> voice_tone(double frequency_hz, double level,
                                                                         long& frame) {
  std::array<std::uint8_t, platform::kOutputBufferBytes> buffer{};
  for (std::size_t at = 0; at < buffer.size(); at += 4, ++frame) {
    const double seconds = static_cast<double>(frame) / platform::kVoiceFramesPerSecond;
    const auto sample = static_cast<std::int16_t>(level * std::sin(2 * std::numbers::pi * frequency_hz * seconds));
    std::memcpy(&buffer[at], &sample, sizeof sample);
    std::memcpy(&buffer[at + 2], &sample, sizeof sample);
  }
  return buffer;
}

// Plays a 1 kHz tone into the sink behind the microphone until destroyed.
// Its level starts low and rises steadily, so that the order of recorded
// blocks shows in their levels. The tone is through when the constructor returns.
class MicrophoneFeed {
 public:
  MicrophoneFeed();
  ~MicrophoneFeed();
  MicrophoneFeed(const MicrophoneFeed&) = delete;
  MicrophoneFeed& operator=(const MicrophoneFeed&) = delete;
  bool running() const;

 private:
  struct Player;
  std::unique_ptr<Player> player_;
};

// Records the left channel of the speaker, 8000 frames per second, until stopped.
class SpeakerRecording {
 public:
  SpeakerRecording();
  ~SpeakerRecording();
  SpeakerRecording(const SpeakerRecording&) = delete;
  SpeakerRecording& operator=(const SpeakerRecording&) = delete;
  bool running() const;
  std::vector<std::int16_t> stop();

 private:
  struct Recorder;
  std::unique_ptr<Recorder> recorder_;
};

}  // namespace marvok::testing
