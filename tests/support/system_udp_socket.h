#pragma once

#include <cstdint>

#include "platform/native_socket.h"

namespace marvok::testing {

// A UDP socket made with the system's own calls, of either address family,
// bound to any address and a port the system chooses: what the system's
// socket tables must show whoever made the socket.
class SystemUdpSocket {
 public:
  enum class Family { V4, V6 };

  explicit SystemUdpSocket(Family family);
  SystemUdpSocket(const SystemUdpSocket&) = delete;
  SystemUdpSocket& operator=(const SystemUdpSocket&) = delete;
  ~SystemUdpSocket() { close(); }

  // 0 when the socket could not be made or bound (no IPv6 on this machine).
  std::uint16_t port() const { return port_; }
  void close();

 private:
  platform::NativeSocket handle_ = platform::kNoSocket;
  std::uint16_t port_ = 0;
};

}  // namespace marvok::testing
