#pragma once

#include <cstdint>
#include <span>

#include "forward_batch.h"
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
  // One speech block to everyone in `batch` from the channel's voice port,
  // each datagram its own head then `block`; empties the batch. By default
  // one datagram at a time through send_from.
  virtual ForwardBatch::Result send_voice_batch(int channel, ForwardBatch& batch,
                                                std::span<const std::uint8_t> block) const;
};

}  // namespace marvok::relay_server
