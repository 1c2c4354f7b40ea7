#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "state/talk_state.h"

namespace marvok::accessory {

// Written to the accessory every cycle: it comes back only while the button is held.
inline constexpr std::array<std::uint8_t, 8> ProbePattern = {'P', 'X', 'X', 'X', 'X', 'X', 'X', 'X'};

// The button position a read shows: pressed when its first eight bytes are
// the probe, released for anything shorter or different. A failed read
// (`byte_count` empty) shows nothing. A count beyond the buffer counts only
// the buffer's bytes.
std::optional<TalkValue> classify_echo(std::optional<std::size_t> byte_count, std::span<const std::uint8_t> buffer);

}  // namespace marvok::accessory
