// The start-up sound through the system's own sound player, from the file's
// bytes, which stay here as long as they may be playing.
#include "platform/startup_sound.h"

#include <windows.h>
// These need the types of the one above.
#include <mmsystem.h>

#include <fstream>
#include <iterator>

#include "state/wave_file.h"

namespace marvok::platform {

namespace {

constexpr std::size_t kMaxSoundFileBytes = 8u << 20;

}  // namespace

bool StartupSound::play_async(const std::string& path) {
  stop();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  file_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  // The player takes anything it knows; only what the product plays elsewhere is let through.
  if (file_.size() > kMaxSoundFileBytes || !parse_wave_file(file_)) {
    file_.clear();
    return false;
  }
  // No default sound in place of one that cannot be played: that is a failure.
  if (!PlaySoundW(reinterpret_cast<LPCWSTR>(file_.data()), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT)) {
    file_.clear();
    return false;
  }
  return true;
}

void StartupSound::stop() {
  // Returns once the player has let go of the bytes.
  if (!file_.empty()) PlaySoundW(nullptr, nullptr, 0);
  file_.clear();
}

}  // namespace marvok::platform
