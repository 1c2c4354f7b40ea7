// The start-up sound through the system's own sound player, from the file's
// bytes, which stay here as long as they may be playing.
#include "platform/startup_sound.h"

#include <windows.h>
// These need the types of the one above.
#include <mmsystem.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "state/wave_file.h"

namespace marvok::platform {

namespace {

constexpr std::size_t kMaxSoundFileBytes = 8u << 20;

}  // namespace

// The player reads the bytes while it plays them.
struct StartupSound::Playing {
  std::vector<std::uint8_t> file;
};

StartupSound::StartupSound() : playing_(std::make_unique<Playing>()) {}

StartupSound::~StartupSound() { stop(); }

bool StartupSound::play_async(const std::string& path) {
  stop();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  playing_->file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  // The player takes anything it knows; only what the product plays elsewhere is let through.
  if (playing_->file.size() > kMaxSoundFileBytes || !parse_wave_file(playing_->file)) {
    playing_->file.clear();
    return false;
  }
  // No default sound in place of one that cannot be played: that is a failure.
  if (!PlaySoundW(reinterpret_cast<LPCWSTR>(playing_->file.data()), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT)) {
    playing_->file.clear();
    return false;
  }
  return true;
}

void StartupSound::stop() {
  // Returns once the player has let go of the bytes.
  if (!playing_->file.empty()) PlaySoundW(nullptr, nullptr, 0);
  playing_->file.clear();
}

}  // namespace marvok::platform
