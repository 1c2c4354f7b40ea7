#include "support/system_udp_socket.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

namespace marvok::testing {

SystemUdpSocket::SystemUdpSocket(Family family) {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return;
  const int domain = family == Family::V4 ? AF_INET : AF_INET6;
  handle_ = ::socket(domain, SOCK_DGRAM, IPPROTO_UDP);
  if (handle_ == INVALID_SOCKET) return;
  sockaddr_storage address{};
  address.ss_family = static_cast<ADDRESS_FAMILY>(domain);
  int length = family == Family::V4 ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
  if (::bind(handle_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(handle_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close();
    return;
  }
  port_ = ntohs(family == Family::V4 ? reinterpret_cast<sockaddr_in&>(address).sin_port
                                     : reinterpret_cast<sockaddr_in6&>(address).sin6_port);
}

void SystemUdpSocket::close() {
  if (handle_ != INVALID_SOCKET) ::closesocket(handle_);
  handle_ = platform::kNoSocket;
}

}  // namespace marvok::testing
