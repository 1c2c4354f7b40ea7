#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>

#include "companion/companion_link.h"
#include "state/talk_state.h"

namespace marvok::companion {

// The key position a companion report asks for: its first byte is 'T' to
// talk, 'R' to release; anything else asks nothing.
std::optional<TalkValue> reported_key(std::uint8_t first_byte);

// Takes the companion's reports and moves the talk key accordingly until
// stopped. Reports from any sender count. A key pressed by a "T" whose
// sender's socket has since closed (the companion died before its "R") is
// released within two seconds.
void run_companion_receiver(std::stop_token stop, const CompanionLink& link, TalkState& talk);

}  // namespace marvok::companion
