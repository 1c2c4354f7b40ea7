#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// Probes beside the sound devices under test, on the test sound server: the
// default microphone hears what is played into the sink "MicFeed" (mic), and
// what the default output plays is heard on that of "Speaker" (spk).
namespace marvok::testing {

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
