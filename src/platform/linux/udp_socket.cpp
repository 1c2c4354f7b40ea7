#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <utility>

namespace marvok::platform {

namespace {

sockaddr_in to_sockaddr(const Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  return address;
}

}  // namespace

std::optional<std::uint32_t> parse_ipv4(std::string_view text) {
  const std::string copy(text);
  in_addr address{};
  if (::inet_pton(AF_INET, copy.c_str(), &address) != 1) return std::nullopt;
  return ntohl(address.s_addr);
}

std::string format_endpoint(const Endpoint& endpoint) {
  const in_addr address{htonl(endpoint.address)};
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address, text, sizeof text);
  return std::string(text) + ":" + std::to_string(endpoint.port);
}

namespace {

// Looks for the port in one of the system's socket tables; nothing when the
// table cannot be read.
std::optional<bool> table_has_port(const char* table_path, std::uint16_t port) {
  std::ifstream table(table_path);
  std::string line;
  if (!std::getline(table, line)) return std::nullopt;  // the column titles
  while (std::getline(table, line)) {
    // "   7: 0100007F:15B3 00000000:0000 07 ...": the slot, then the local
    // address and its port, both in hexadecimal (IPv6 addresses are longer,
    // without colons).
    const std::size_t slot_end = line.find(':');
    const std::size_t port_start = line.find(':', slot_end + 1);
    if (slot_end == std::string::npos || port_start == std::string::npos || port_start + 5 > line.size()) continue;
    const char* first = line.data() + port_start + 1;
    unsigned bound = 0;
    const auto [end, error] = std::from_chars(first, first + 4, bound, 16);
    if (error == std::errc() && end == first + 4 && bound == port) return true;
  }
  return false;
}

}  // namespace

PortUse udp_port_use(std::uint16_t port) {
  // A dual-stack IPv6 socket that talks to IPv4 peers is listed with IPv6 only.
  const std::optional<bool> ipv4 = table_has_port("/proc/net/udp", port);
  const std::optional<bool> ipv6 = table_has_port("/proc/net/udp6", port);
  if (ipv4.value_or(false) || ipv6.value_or(false)) return PortUse::Bound;
  return ipv4 || ipv6 ? PortUse::Free : PortUse::Unknown;
}

std::optional<UdpSocket> UdpSocket::open_bound(const Endpoint& local) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd < 0) return std::nullopt;
  UdpSocket socket(fd);
  const sockaddr_in address = to_sockaddr(local);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return std::nullopt;
  return socket;
}

std::optional<Endpoint> UdpSocket::local_endpoint() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return std::nullopt;
  return Endpoint{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
}

bool UdpSocket::send_to(std::span<const std::uint8_t> datagram, const Endpoint& to) const {
  if (!valid()) return false;
  const sockaddr_in address = to_sockaddr(to);
  return ::sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) == static_cast<ssize_t>(datagram.size());
}

UdpSocket::Wait UdpSocket::wait_readable(std::chrono::milliseconds timeout) const {
  if (!valid()) return Wait::Failed;
  pollfd watch{fd_, POLLIN, 0};
  const int ready = ::poll(&watch, 1, static_cast<int>(timeout.count()));
  if (ready < 0) return Wait::Failed;
  if (ready == 0) return Wait::TimedOut;
  return (watch.revents & POLLIN) ? Wait::Readable : Wait::Failed;
}

std::optional<UdpSocket::Received> UdpSocket::receive(std::span<std::uint8_t> buffer, Oversize oversize) const {
  if (!valid()) return std::nullopt;
  sockaddr_in from{};
  iovec part{buffer.data(), buffer.size()};
  msghdr message{};
  message.msg_name = &from;
  message.msg_namelen = sizeof from;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  const ssize_t size = ::recvmsg(fd_, &message, MSG_DONTWAIT);
  if (size <= 0 || (oversize == Oversize::Drop && (message.msg_flags & MSG_TRUNC))) return std::nullopt;
  return Received{static_cast<std::size_t>(size), Endpoint{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)}};
}

std::size_t UdpSocket::receive_many(std::span<std::uint8_t> area, std::size_t slot_bytes,
                                    std::span<Received> slots) const {
  constexpr std::size_t kMostAtOnce = 64;
  const std::size_t count = std::min({slots.size(), kMostAtOnce, slot_bytes == 0 ? 0 : area.size() / slot_bytes});
  if (!valid() || count == 0) return 0;
  std::array<sockaddr_in, kMostAtOnce> from{};
  std::array<iovec, kMostAtOnce> parts{};
  std::array<mmsghdr, kMostAtOnce> messages{};
  for (std::size_t i = 0; i < count; ++i) {
    parts[i] = {area.data() + i * slot_bytes, slot_bytes};
    messages[i].msg_hdr.msg_name = &from[i];
    messages[i].msg_hdr.msg_namelen = sizeof from[i];
    messages[i].msg_hdr.msg_iov = &parts[i];
    messages[i].msg_hdr.msg_iovlen = 1;
  }
  const int read = ::recvmmsg(fd_, messages.data(), static_cast<unsigned>(count), MSG_DONTWAIT, nullptr);
  if (read <= 0) return 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(read); ++i) {
    const bool whole = (messages[i].msg_hdr.msg_flags & MSG_TRUNC) == 0;
    slots[i] =
        Received{whole ? messages[i].msg_len : 0, Endpoint{ntohl(from[i].sin_addr.s_addr), ntohs(from[i].sin_port)}};
  }
  return static_cast<std::size_t>(read);
}

int UdpSocket::enlarge_receive_queue(int bytes) const {
  if (!valid()) return 0;
  // The forced size needs CAP_NET_ADMIN; without it the request is capped at net.core.rmem_max.
  if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
  int given = 0;
  socklen_t length = sizeof given;
  if (::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &given, &length) != 0) return 0;
  return given;
}

void UdpSocket::close() {
  if (valid()) ::close(fd_);
  fd_ = kNoSocket;
}

}  // namespace marvok::platform
