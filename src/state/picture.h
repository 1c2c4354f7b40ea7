#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace marvok {

// A picture as the shared code keeps it, whichever toolkit draws it: rows top
// first, each pixel 0xAARRGGBB. An alpha below 0xFF is where the picture lets
// what lies under it show. A picture without pixels is the one a failed
// decoding gives.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  bool empty() const { return pixels.empty(); }
  std::uint32_t pixel(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
  }

  friend bool operator==(const Picture&, const Picture&) = default;
};

}  // namespace marvok
