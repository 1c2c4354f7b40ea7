#pragma once

// The members the tool-window scenes show, shared by the Linux reference
// pictures and the Windows drawing of the same scenes.
#include <cstdint>
#include <optional>
#include <vector>

#include "relay/member_table.h"
#include "state/picture.h"

namespace marvok::testing {

// Pictures drawn pixel by pixel from `colour_at` (0xAARRGGBB), owing nothing to a toolkit.
template <typename ColourAt>
Picture drawn_picture(int width, int height, ColourAt colour_at) {
  Picture picture{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture.pixels.push_back(colour_at(x, y));
  return picture;
}

inline bool in_ellipse(int x, int y, int cx, int cy, int rx, int ry) {
  const long long dx = x - cx, dy = y - cy;
  return dx * dx * ry * ry + dy * dy * rx * rx <= static_cast<long long>(rx) * rx * ry * ry;
}

// A member's portrait: head and shoulders in a light shade over a ground of their own.
inline Picture portrait(int width, int height, std::uint32_t ground) {
  return drawn_picture(width, height, [=](int x, int y) {
    const bool head = in_ellipse(x, y, width / 2, height / 3, width / 5, height / 6);
    const bool shoulders = in_ellipse(x, y, width / 2, height, width * 2 / 5, height / 3);
    return head || shoulders ? 0xFFF0D8C0u : ground;
  });
}

// Members 14 and 15 are the awkward ones: 14 has no picture, 15's does not decode.
inline std::optional<Picture> member_picture(std::uint16_t member) {
  if (member == 14) return std::nullopt;
  if (member == 15) return Picture();
  return portrait(40, 50, 0xFF000000u | (member * 0x3D1F5Bu & 0x7F7F7Fu));
}

inline void list_members(relay::MemberTable& members, int channel, std::vector<std::int32_t> ids) {
  members.ChannelMemberCounts[channel] = static_cast<std::int32_t>(ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) members.ChannelMembers[channel][i] = ids[i];
}

}  // namespace marvok::testing
