#pragma once

#include <chrono>
#include <thread>

#include "platform/udp_socket.h"

namespace marvok::relay_server::testing {

// Carries datagrams between one client socket and one relay port, holding
// each back a random 0 to `most` ms as a jittery network does, so they may
// also arrive out of order. The relay sees the proxy's port as the client's.
class DelayingProxy {
 public:
  DelayingProxy(platform::Endpoint relay_port, std::chrono::milliseconds most);

  // Where the client sends instead of the relay port.
  platform::Endpoint endpoint() const;

 private:
  void run(const std::stop_token& stop);

  platform::Endpoint relay_port_;
  std::chrono::milliseconds most_;
  platform::UdpSocket client_side_;
  platform::UdpSocket relay_side_;
  std::jthread thread_;  // last, so it stops before the sockets close
};

}  // namespace marvok::relay_server::testing
