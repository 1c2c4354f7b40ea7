#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/pictures.h"

// Any bytes as the animation file: frames are read up to the first fault,
// never more than asked for, each the size of the first.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("marvok-animation-fuzz-" + std::to_string(getpid()) + ".gif");
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  constexpr std::size_t kMaxFrames = 20;
  const marvok::platform::Animation animation = marvok::platform::load_animation_file(path, kMaxFrames);
  if (animation.frames.size() > kMaxFrames) __builtin_trap();
  for (const marvok::Picture& frame : animation.frames) {
    if (frame.empty() || frame.width != animation.frames[0].width || frame.height != animation.frames[0].height)
      __builtin_trap();
    if (frame.pixels.size() != static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height))
      __builtin_trap();
  }
  return 0;
}
