#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "channel_list.h"
#include "platform/udp_socket.h"
#include "relay/datagrams.h"
#include "relay_output.h"

namespace marvok::relay_server {

// The voice and control ports of the channels served, bound on one address;
// the others' sockets stay closed. Sends never block: a datagram that finds no
// room is dropped rather than delaying every other receiver.
class RelaySockets : public RelayOutput {
 public:
  // Nothing, with the port and the reason in `error`, when a port cannot be bound.
  static std::optional<RelaySockets> open(std::uint32_t address, const ChannelSet& channels, std::string& error);

  const platform::UdpSocket& voice(int channel) const { return voice_[static_cast<std::size_t>(channel)]; }
  const platform::UdpSocket& control(int channel) const { return control_[static_cast<std::size_t>(channel)]; }

  bool send_from(RelayPort port, int channel, std::span<const std::uint8_t> datagram,
                 const platform::Endpoint& to) const override;
  ForwardBatch::Result send_voice_batch(int channel, ForwardBatch& batch,
                                        std::span<const std::uint8_t> block) const override {
    return batch.send(voice(channel), block);
  }

 private:
  RelaySockets() = default;

  std::array<platform::UdpSocket, relay::kChannelCount> voice_;
  std::array<platform::UdpSocket, relay::kChannelCount> control_;
};

}  // namespace marvok::relay_server
