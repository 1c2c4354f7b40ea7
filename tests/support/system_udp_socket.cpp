#include "support/system_udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace marvok::testing {

SystemUdpSocket::SystemUdpSocket(Family family) {
  const int domain = family == Family::V4 ? AF_INET : AF_INET6;
  handle_ = ::socket(domain, SOCK_DGRAM, IPPROTO_UDP);
  if (handle_ < 0) return;
  sockaddr_storage address{};
  address.ss_family = static_cast<sa_family_t>(domain);
  socklen_t length = family == Family::V4 ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
  if (::bind(handle_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(handle_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close();
    return;
  }
  port_ = ntohs(family == Family::V4 ? reinterpret_cast<sockaddr_in&>(address).sin_port
                                     : reinterpret_cast<sockaddr_in6&>(address).sin6_port);
}

void SystemUdpSocket::close() {
  if (handle_ >= 0) ::close(handle_);
  handle_ = platform::kNoSocket;
}

}  // namespace marvok::testing
