#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "state/picture.h"

// Picture files written byte by byte, without any system decoder's encoder,
// so decoding them tests the decoder against the formats and not against itself.
namespace marvok::testing {

using FileBytes = std::vector<std::uint8_t>;

inline void put_le(FileBytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void put_be32(FileBytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// A 24-bit BMP, rows bottom first: the alpha is left out.
inline FileBytes bmp_file(const Picture& picture) {
  const auto row_bytes = static_cast<std::uint32_t>((picture.width * 3 + 3) / 4 * 4);
  const auto pixel_bytes = row_bytes * static_cast<std::uint32_t>(picture.height);
  FileBytes out{'B', 'M'};
  put_le(out, 54 + pixel_bytes, 4);
  put_le(out, 0, 4);
  put_le(out, 54, 4);
  for (const std::uint32_t field :
       {40u, static_cast<std::uint32_t>(picture.width), static_cast<std::uint32_t>(picture.height)})
    put_le(out, field, 4);
  put_le(out, 1, 2);
  put_le(out, 24, 2);
  for (const std::uint32_t field : {0u, pixel_bytes, 2835u, 2835u, 0u, 0u}) put_le(out, field, 4);
  for (int y = picture.height - 1; y >= 0; --y) {
    const std::size_t start = out.size();
    for (int x = 0; x < picture.width; ++x) put_le(out, picture.pixel(x, y) & 0xFFFFFF, 3);
    out.resize(start + row_bytes, 0);
  }
  return out;
}

inline std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

inline void put_png_chunk(FileBytes& out, std::string_view type, const FileBytes& data) {
  put_be32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typed_at = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  put_be32(out, crc32(out.data() + typed_at, out.size() - typed_at));
}

// An 8-bit RGBA PNG whose pixels go in uncompressed deflate blocks.
inline FileBytes png_file(const Picture& picture) {
  FileBytes raw;
  for (int y = 0; y < picture.height; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < picture.width; ++x) {
      const std::uint32_t pixel = picture.pixel(x, y);
      for (const int shift : {16, 8, 0, 24}) raw.push_back(static_cast<std::uint8_t>(pixel >> shift));
    }
  }
  FileBytes zlib{0x78, 0x01};
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 0xFFFF) {
    const std::size_t length = std::min<std::size_t>(0xFFFF, raw.size() - at);
    zlib.push_back(at + length >= raw.size() ? 1 : 0);
    put_le(zlib, static_cast<std::uint32_t>(length), 2);
    put_le(zlib, static_cast<std::uint32_t>(~length & 0xFFFF), 2);
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    if (raw.empty()) break;
  }
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  put_be32(zlib, b << 16 | a);

  FileBytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  FileBytes header;
  put_be32(header, static_cast<std::uint32_t>(picture.width));
  put_be32(header, static_cast<std::uint32_t>(picture.height));
  header.insert(header.end(), {8, 6, 0, 0, 0});
  put_png_chunk(out, "IHDR", header);
  put_png_chunk(out, "IDAT", zlib);
  put_png_chunk(out, "IEND", {});
  return out;
}

}  // namespace marvok::testing
