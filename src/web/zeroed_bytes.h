#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace marvok::web {

struct FreeBytes {
  void operator()(std::uint8_t* bytes) const;
};

// A large byte area that reads as zeros and takes no memory until written:
// it comes from calloc, which takes fresh pages from the system already
// zeroed instead of filling them, so the untouched part of a ten-megabyte
// buffer is never resident.
using ZeroedBytes = std::unique_ptr<std::uint8_t[], FreeBytes>;

// Throws std::bad_alloc when the area cannot be had.
ZeroedBytes allocate_zeroed_bytes(std::size_t size);

}  // namespace marvok::web
