#pragma once

#include <memory>
#include <string>

namespace marvok::platform {

// Plays a sound file once, in the background, on the default output device.
class StartupSound {
 public:
  StartupSound();
  StartupSound(const StartupSound&) = delete;
  StartupSound& operator=(const StartupSound&) = delete;
  // Cuts the sound short if it is still playing.
  ~StartupSound();

  // Starts playing a RIFF/WAVE file of integer PCM. Returns false when the file
  // cannot be read or decoded or the sound server refuses the stream.
  bool play_async(const std::string& path);
  void stop();

 private:
  // What each system's player needs while the sound plays.
  struct Playing;
  std::unique_ptr<Playing> playing_;
};

}  // namespace marvok::platform
