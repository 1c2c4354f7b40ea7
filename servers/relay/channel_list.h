#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>

#include "relay/datagrams.h"

namespace marvok::relay_server {

using ChannelSet = std::bitset<relay::kChannelCount>;

inline ChannelSet every_channel() { return ChannelSet().set(); }

// "0-5", "6-10", "0,3,7-9": channel numbers and ranges from 0 to 10, each
// channel once. Nothing for anything else, spaces included.
std::optional<ChannelSet> parse_channel_list(std::string_view text);

// The set in the same form, each number plus `offset`: a port list with
// 30000 gives "30000,30003,30007-30009".
std::string format_channel_list(const ChannelSet& channels, int offset = 0);

}  // namespace marvok::relay_server
