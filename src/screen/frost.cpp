#include "screen/frost.h"

#include <cstdint>
#include <vector>

namespace marvok::screen {

namespace {

constexpr int kReach = 2;  // the mean covers this many pixels on each side
constexpr int kCount = (2 * kReach + 1) * (2 * kReach + 1);
constexpr std::uint32_t kOpaque = 0xFF000000;
constexpr std::uint32_t kFrostGreen = 0x7F;

}  // namespace

void frost(PixelRows rows, const Rect& rect) {
  const Rect area = rect.intersected(Rect({0, 0}, rows.size));
  if (area.empty()) return;
  // The means are read from an untouched copy, so frosted pixels never feed their neighbours.
  std::vector<std::uint32_t> original(static_cast<std::size_t>(area.width) * static_cast<std::size_t>(area.height));
  for (int y = 0; y < area.height; ++y) {
    const std::uint32_t* in = rows.row(area.y + y) + area.x;
    std::copy(in, in + area.width, original.begin() + static_cast<std::ptrdiff_t>(y) * area.width);
  }
  const auto at = [&](int x, int y) {
    return original[static_cast<std::size_t>(y) * static_cast<std::size_t>(area.width) + static_cast<std::size_t>(x)];
  };
  for (int y = kReach; y < area.height - kReach; ++y) {
    std::uint32_t* out = rows.row(area.y + y) + area.x;
    for (int x = kReach; x < area.width - kReach; ++x) {
      std::uint32_t red = 0;
      std::uint32_t blue = 0;
      for (int dy = -kReach; dy <= kReach; ++dy) {
        for (int dx = -kReach; dx <= kReach; ++dx) {
          const std::uint32_t pixel = at(x + dx, y + dy);
          red += pixel >> 16 & 0xFF;
          blue += pixel & 0xFF;
        }
      }
      out[x] = kOpaque | (red / kCount) << 16 | kFrostGreen << 8 | blue / kCount;
    }
  }
}

}  // namespace marvok::screen
