#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace marvok::relay_server {

// The three characters a client reports of its version: '0', '7', '8' for
// version 0.7.8. Each is a single digit, so comparing the arrays compares the
// versions.
using ClientVersion = std::array<char, 3>;

// "0.7.8"; nothing unless the text is three single digits separated by dots.
std::optional<ClientVersion> parse_client_version(std::string_view text);

// Printable form of a reported version, e.g. "0.7.8".
std::array<char, 6> format_client_version(const ClientVersion& version);

}  // namespace marvok::relay_server
