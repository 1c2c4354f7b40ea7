#pragma once

#include <string_view>

#include "state/session_state.h"

namespace marvok::relay {

// The French name of each of the eleven channels, by index.
std::u16string_view channel_name(int channel);

// Moves the member to channel `n` (0 to 10): the relay threads pick the new
// ports up on their next round; the member count is unknown until the relay
// lists the new channel.
void select_channel(ChannelState& channel, int n);

// The current channel index, from the current voice port.
int current_channel(const ChannelState& channel);

}  // namespace marvok::relay
