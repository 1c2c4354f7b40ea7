#include "listening_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace marvok::web_server {

namespace {

// Room for a crowd of clients connecting at once.
constexpr int kBacklog = 4096;

}  // namespace

int open_listening_socket(const std::string& address, int port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const std::string where = "cannot listen on " + address + " port " + service;
  if (::getaddrinfo(address.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
    error = where + " (not an address of this machine)";
    return -1;
  }
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
  for (const addrinfo* candidate = found; candidate; candidate = candidate->ai_next) {
    const int socket = ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC, candidate->ai_protocol);
    if (socket < 0) continue;
    const int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    // Several processes of this service may then share the port; the kernel
    // lets only those of the same user join it.
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes);
    if (::bind(socket, candidate->ai_addr, candidate->ai_addrlen) == 0 && ::listen(socket, kBacklog) == 0)
      return socket;
    ::close(socket);
  }
  error = where + " (taken, or not an address of this machine)";
  return -1;
}

int bound_port(int socket) {
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length) != 0) return -1;
  if (bound.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
  if (bound.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port);
  return -1;
}

}  // namespace marvok::web_server
