#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace marvok::platform {

// Plays a sound file once, in the background, on the default output device.
class StartupSound {
 public:
  StartupSound() = default;
  StartupSound(const StartupSound&) = delete;
  StartupSound& operator=(const StartupSound&) = delete;
  // Cuts the sound short if it is still playing.
  ~StartupSound() { stop(); }

  // Starts playing a RIFF/WAVE file of integer PCM. Returns false when the file
  // cannot be read or decoded or the sound server refuses the stream.
  bool play_async(const std::string& path);
  void stop();

 private:
  std::vector<std::uint8_t> file_;
  std::jthread player_;
};

}  // namespace marvok::platform
