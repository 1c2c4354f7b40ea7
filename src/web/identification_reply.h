#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "state/session_state.h"

namespace marvok::web {

// What the web service says of this PC when it identifies it.
struct Identification {
  std::uint16_t member_id = 0;
  // The display name's bytes in the members' code page, up to its first NUL.
  std::string name;
};

// Reads the identification reply: the member number as five decimal digits
// at byte 34 (read as the C library reads a long: leading blanks and a sign
// allowed, stopping at the first other byte; kept to 16 bits) and the display
// name in the 24 bytes from byte 40. Nothing when the reply stops before the
// number or the number has no digit. A reply that stops inside the name
// gives the bytes that came.
std::optional<Identification> read_identification_reply(std::span<const std::uint8_t> reply);

// Makes the reply the member's identity and greets the member in the status text.
void apply_identification(const Identification& identification, IdentityState& identity, DisplayState& display);

}  // namespace marvok::web
