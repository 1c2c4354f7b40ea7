#pragma once

#include <cstdint>
#include <stop_token>

#include "platform/udp_socket.h"
#include "relay/datagrams.h"
#include "state/session_state.h"

namespace marvok::relay {

// The client's standing attachment to the relay: a voice socket (hello,
// presence, speech) and a control socket (member lists, notices), both on
// ephemeral ports, open for the life of the client.
struct RelaySession {
  std::uint32_t relay_address = 0;
  platform::UdpSocket VoiceSocket;
  platform::UdpSocket ControlSocket;

  platform::Endpoint relay_port(int port) const { return {relay_address, static_cast<std::uint16_t>(port)}; }
  // Only the relay server may speak to the client: anything else is dropped.
  bool from_relay(const platform::Endpoint& sender) const { return sender.address == relay_address; }
};

// The voice socket's receive queue: about 20 ms of 1 KB speech datagrams
// arriving at 100,000 a second, where the system allows that much.
inline constexpr int kVoiceReceiveQueueBytes = 4 << 20;

// Opens both sockets and sends a hello on each to the relay's first voice
// port, showing each socket's state on its light. Returns 0, or -1 when a
// socket cannot be opened (a failed voice socket leaves the control socket
// unopened).
int relay_setup(RelaySession& session, std::uint32_t relay_address, LightsState& lights);

// Builds the presence datagrams in turn: name, device, version, name, ...
class PresenceSender {
 public:
  PresenceSender(const IdentityState& identity, const ChannelState& channel) : identity_(identity), channel_(channel) {}

  void send_presence(const RelaySession& session);

 private:
  const IdentityState& identity_;
  const ChannelState& channel_;
  int status_cycle_ = 0;
  Buffer buffer_{};
};

// Sends presence every 20 ms, every 15 ms on channel 3, until stopped.
void run_presence_worker(std::stop_token stop, const RelaySession& session, const IdentityState& identity,
                         const ChannelState& channel);

}  // namespace marvok::relay
