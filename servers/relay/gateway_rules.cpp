#include "gateway_rules.h"

#include <array>
#include <optional>

#include "channel_list.h"
#include "platform/udp_socket.h"
#include "relay/datagrams.h"

namespace marvok::relay_server {

namespace {

std::string address_text(std::uint32_t address) {
  std::string text = platform::format_endpoint({address, 0});
  text.resize(text.rfind(':'));
  return text;
}

GatewayRules refusal(std::string reason) { return {.ruleset = {}, .error = std::move(reason)}; }

std::string port_range(int first_port) {
  return std::to_string(first_port) + "-" + std::to_string(first_port + relay::kChannelCount - 1);
}

}  // namespace

GatewayRules gateway_rules(std::string_view public_address, std::span<const std::string_view> hosts) {
  const auto gateway = platform::parse_ipv4(public_address);
  if (!gateway) return refusal("the public address " + std::string(public_address) + " is not an IPv4 address");
  std::array<std::optional<std::uint32_t>, relay::kChannelCount> host_of{};
  std::string served_by;
  for (const std::string_view host : hosts) {
    const std::size_t equals = host.find('=');
    if (equals == std::string_view::npos)
      return refusal("--host needs ADDRESS=CHANNELS, such as 10.0.0.2=0-5, not " + std::string(host));
    const auto address = platform::parse_ipv4(host.substr(0, equals));
    if (!address) return refusal("the host " + std::string(host.substr(0, equals)) + " is not an IPv4 address");
    const auto channels = parse_channel_list(host.substr(equals + 1));
    if (!channels) {
      return refusal("the channels of " + std::string(host.substr(0, equals)) +
                     " are not a list such as 0-5 or 0,3,7-9: " + std::string(host.substr(equals + 1)));
    }
    for (int channel = 0; channel < relay::kChannelCount; ++channel) {
      if (!channels->test(static_cast<std::size_t>(channel))) continue;
      auto& taken = host_of[static_cast<std::size_t>(channel)];
      if (taken) {
        return refusal("channel " + std::to_string(channel) + " is given to both " + address_text(*taken) + " and " +
                       address_text(*address));
      }
      taken = *address;
    }
    served_by += "#   channels " + format_channel_list(*channels) + ": " + address_text(*address) + "\n";
  }
  ChannelSet missing;
  for (int channel = 0; channel < relay::kChannelCount; ++channel)
    missing.set(static_cast<std::size_t>(channel), !host_of[static_cast<std::size_t>(channel)]);
  if (missing.any()) return refusal("no host serves channel(s) " + format_channel_list(missing));

  const std::string gateway_text = address_text(*gateway);
  std::string text =
      "# nftables rules for the gateway in front of the marvok-relay hosts: UDP to\n"
      "# " +
      gateway_text +
      " on voice port 30000+n and control port 31000+n goes to\n"
      "# the host serving channel n. Only the destination is rewritten, so the\n"
      "# hosts see the members' own addresses.\n" +
      served_by +
      "# Load it with: nft -f FILE (loading it again replaces these rules).\n"
      "# The gateway must forward: net.ipv4.ip_forward=1 (sysctl, /etc/sysctl.d/).\n"
      "# Each relay host must route its answers through the gateway (its default\n"
      "# route via the gateway), so that they leave from the public address.\n"
      // Declared, then deleted, then made whole: one transaction that works
      // whether the table was there or not.
      "table ip marvok_relay\n"
      "delete table ip marvok_relay\n"
      "table ip marvok_relay {\n"
      "\tchain prerouting {\n"
      "\t\ttype nat hook prerouting priority dstnat; policy accept;\n"
      "\t\tip daddr " +
      gateway_text + " udp dport { " + port_range(relay::kFirstVoicePort) + ", " +
      port_range(relay::kFirstControlPort) + " } dnat to udp dport map {\n";
  for (int channel = 0; channel < relay::kChannelCount; ++channel) {
    const std::string host = address_text(*host_of[static_cast<std::size_t>(channel)]);
    text.append("\t\t\t").append(std::to_string(relay::voice_port_of(channel))).append(" : ").append(host);
    text.append(", ").append(std::to_string(relay::control_port_of(channel))).append(" : ").append(host);
    text.append(channel + 1 < relay::kChannelCount ? ",\n" : "\n");
  }
  text += "\t\t}\n\t}\n}\n";
  return {.ruleset = std::move(text), .error = {}};
}

}  // namespace marvok::relay_server
