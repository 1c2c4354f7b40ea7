#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "relay/datagrams.h"

namespace marvok::relay {

// Who is present in each channel, as the relay last listed them. Only the
// first `ChannelMemberCounts[n]` entries of row n are meaningful; the rest
// keep older values. Written by the control worker, read by the panels.
struct MemberTable {
  std::array<std::array<std::atomic<std::int32_t>, kMaxListedMembers>, kChannelCount> ChannelMembers{};
  std::array<std::atomic<std::int32_t>, kChannelCount> ChannelMemberCounts{};
};

}  // namespace marvok::relay
