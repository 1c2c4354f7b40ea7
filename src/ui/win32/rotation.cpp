#include "ui/win32/rotation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace marvok::ui::win32 {

namespace {

constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;
constexpr int kFixedOne = 1 << 16;

// Quarter turns exactly, as a transform's rotation gives them.
void sine_cosine(double degrees, double& sine, double& cosine) {
  const double turned = std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0);
  if (turned == 0 || turned == 90 || turned == 180 || turned == 270) {
    const int quarter = static_cast<int>(turned) / 90;
    constexpr int kSines[] = {0, 1, 0, -1};
    sine = kSines[quarter];
    cosine = kSines[(quarter + 1) % 4];
    return;
  }
  sine = std::sin(degrees * std::numbers::pi / 180);
  cosine = std::cos(degrees * std::numbers::pi / 180);
}

// The four pixels around a point in 16.16 fixed point, weighed in sixteenths.
std::uint32_t between(const Picture& picture, int fx, int fy) {
  const int x1 = fx >> 16, y1 = fy >> 16;
  const auto dx = static_cast<std::uint32_t>((fx & 0xFFFF) >> 12), dy = static_cast<std::uint32_t>((fy & 0xFFFF) >> 12);
  const auto at = [&](int x, int y) {
    return picture.pixel(std::clamp(x, 0, picture.width - 1), std::clamp(y, 0, picture.height - 1));
  };
  const std::uint32_t corners[] = {at(x1, y1), at(x1 + 1, y1), at(x1, y1 + 1), at(x1 + 1, y1 + 1)};
  const std::uint32_t weights[] = {(16 - dx) * (16 - dy), dx * (16 - dy), (16 - dx) * dy, dx * dy};
  std::uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    std::uint32_t sum = 0;
    for (int i = 0; i < 4; ++i) sum += (corners[i] >> shift & 0xFF) * weights[i];
    result |= (sum >> 8) << shift;
  }
  return result;
}

}  // namespace

Picture rotated(const Picture& picture, double degrees) {
  if (picture.empty()) return {};
  Picture result{picture.width, picture.height, std::vector<std::uint32_t>(picture.pixels.size(), kOpaqueBlack)};
  double sine = 0, cosine = 0;
  sine_cosine(degrees, sine, cosine);
  const double cx = picture.width / 2.0, cy = picture.height / 2.0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      // Back from the pixel's centre to where it was before the turn.
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      const double u = cx + cosine * dx + sine * dy, v = cy - sine * dx + cosine * dy;
      if (u < 0 || v < 0 || u >= picture.width || v >= picture.height) continue;
      const int fx = static_cast<int>(u * kFixedOne) - kFixedOne / 2,
                fy = static_cast<int>(v * kFixedOne) - kFixedOne / 2;
      result
          .pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(x)] =
          between(picture, fx, fy);
    }
  }
  return result;
}

}  // namespace marvok::ui::win32
