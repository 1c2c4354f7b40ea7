#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace marvok {

// Multi-byte fields of the client's files and datagrams are little-endian.
// Callers check that the bytes they read are there.

inline std::uint16_t read_u16_le(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

inline std::int16_t read_i16_le(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::int16_t>(read_u16_le(bytes, at));
}

inline std::uint32_t read_u32_le(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(read_u16_le(bytes, at)) | static_cast<std::uint32_t>(read_u16_le(bytes, at + 2))
                                                                  << 16;
}

inline void write_u16_le(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void write_u32_le(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
  write_u16_le(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
  write_u16_le(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace marvok
