#pragma once

#include <span>
#include <string>
#include <string_view>

namespace marvok::relay_server {

// The nftables ruleset of a gateway that puts several relay hosts behind one
// public address, or why the table cannot be served.
struct GatewayRules {
  std::string ruleset;
  std::string error;  // empty when the ruleset is there
};

// Clients reach `public_address`; each of `hosts` is "ADDRESS=LIST", a relay
// host and the channels it serves, written as for --channels. Every channel
// must have exactly one host. The gateway only rewrites the destination, so
// the hosts see the members' own addresses and must answer through it.
GatewayRules gateway_rules(std::string_view public_address, std::span<const std::string_view> hosts);

}  // namespace marvok::relay_server
