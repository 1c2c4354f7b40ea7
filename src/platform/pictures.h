#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "state/picture.h"

// Picture decoding, by the system's own decoders. On Linux they are Qt's,
// built with the windows (ui/qt/qt_picture_decoding.cpp) so that this layer
// links no toolkit.
namespace marvok::platform {

enum class PictureFormat {
  Bmp,
  Png,
  // Whatever format the content shows: PNG, JPEG, BMP, GIF and others.
  Any,
};

// Decodes a picture held in memory as `format`; an empty picture when the
// bytes are not one.
Picture decode_picture(std::span<const std::uint8_t> bytes, PictureFormat format);

// Reads a picture file as `format`, whatever its content would suggest; an
// empty picture when the file is missing or is not one.
Picture load_picture_file(const std::filesystem::path& path, PictureFormat format);

// The frames of an animated picture, each as it shows once composed over the
// frames before it, at the picture's own size.
struct Animation {
  std::vector<Picture> frames;
  // What the file says the first frame lasts, when it says anything.
  std::optional<std::chrono::milliseconds> first_delay;
};

// Reads an animated picture file (GIF), at most `max_frames` of its frames. A
// file that cannot be read, or is cut short, gives the frames read before the
// fault (possibly none).
Animation load_animation_file(const std::filesystem::path& path, std::size_t max_frames);

}  // namespace marvok::platform
