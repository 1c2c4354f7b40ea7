#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "state/picture.h"

// Picture decoding, by the system's own decoders. On Linux they are Qt's,
// built with the windows (ui/qt_picture_decoding.cpp) so that this layer
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

}  // namespace marvok::platform
