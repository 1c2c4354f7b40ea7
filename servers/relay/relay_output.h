#pragma once

#include <cstdint>
#include <span>

#include "platform/udp_socket.h"

namespace marvok::relay_server {

// The two ports of a channel a datagram leaves from.
enum class RelayPort { Voice, Control };

// Where the relay's datagrams go out: the channels' sockets when serving, a
// recorder when its handling is driven without a network.
class RelayOutput {
 public:
  RelayOutput() = default;
  RelayOutput(const RelayOutput&) = default;
  RelayOutput(RelayOutput&&) = default;
  RelayOutput& operator=(const RelayOutput&) = default;
  RelayOutput& operator=(RelayOutput&&) = default;
  virtual ~RelayOutput() = default;

  // False when the datagram could not be sent; nothing waits for room.
  virtual bool send_from(RelayPort port, int channel, std::span<const std::uint8_t> datagram,
                         const platform::Endpoint& to) const = 0;
};

}  // namespace marvok::relay_server
