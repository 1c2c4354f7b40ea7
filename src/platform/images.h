#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <span>

namespace marvok::platform {

// Loads a BMP picture file; a null image when it is missing or not a BMP.
QImage load_bmp_file(const QString& path);

// Decodes a BMP file held in memory; a null image when it is not one.
QImage decode_bmp(std::span<const std::uint8_t> bytes);

}  // namespace marvok::platform
