#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/udp_socket.h"
#include "relay/datagrams.h"

namespace marvok::relay_server {

// Datagrams waiting on one port, read in one call: under the presence of
// thousands of clients the calls, not the bytes, are what the relay pays for.
class ReceiveBatch {
 public:
  static constexpr std::size_t kSize = 64;

  ReceiveBatch();

  // Reads at most kSize waiting datagrams without blocking; how many slots
  // were filled. A slot whose datagram was empty or too large for any client
  // holds no bytes and is to be skipped.
  std::size_t receive(const platform::UdpSocket& socket);
  relay::Bytes datagram(std::size_t slot) const;
  platform::Endpoint from(std::size_t slot) const;

 private:
  std::vector<std::uint8_t> area_;
  std::vector<platform::UdpSocket::Received> received_;
};

}  // namespace marvok::relay_server
