#include "platform/udp_socket.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <mswsock.h>
// clang-format on

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

namespace marvok::platform {

static_assert(std::is_same_v<NativeSocket, SOCKET> && kNoSocket == INVALID_SOCKET);

namespace {

// Winsock is started on first use, once for the whole process, and never
// cleaned up: sockets stay usable by every thread until the process ends.
bool winsock_started() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

sockaddr_in to_sockaddr(const Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  return address;
}

Endpoint from_sockaddr(const sockaddr_in& address) {
  return Endpoint{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
}

// Errors a read reports for an earlier datagram rather than for the one
// waiting: an ICMP answer to a send, should the system still pass it on.
bool reports_an_earlier_send(int error) { return error == WSAECONNRESET || error == WSAENETRESET; }

}  // namespace

// Parsed by hand, with the same strict rules on both systems: four decimal
// parts of at most three digits, no leading zero, nothing around them.
std::optional<std::uint32_t> parse_ipv4(std::string_view text) {
  std::uint32_t address = 0;
  const char* at = text.data();
  const char* const end = text.data() + text.size();
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at == end || *at != '.') return std::nullopt;
      ++at;
    }
    const char* const digits = at;
    while (at != end && *at >= '0' && *at <= '9') ++at;
    const std::ptrdiff_t length = at - digits;
    if (length < 1 || length > 3 || (length > 1 && *digits == '0')) return std::nullopt;
    unsigned value = 0;
    std::from_chars(digits, at, value);
    if (value > 255) return std::nullopt;
    address = (address << 8) | value;
  }
  if (at != end) return std::nullopt;
  return address;
}

std::string format_endpoint(const Endpoint& endpoint) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    text += std::to_string((endpoint.address >> shift) & 0xFF);
    text += shift > 0 ? '.' : ':';
  }
  return text + std::to_string(endpoint.port);
}

namespace {

// Looks for the port in the system's UDP table of one address family;
// nothing when the table cannot be read.
template <typename Table>
std::optional<bool> table_has_port(ULONG family, std::uint16_t port) {
  std::vector<unsigned char> space(sizeof(Table));
  for (int attempt = 0; attempt < 4; ++attempt) {
    auto size = static_cast<DWORD>(space.size());
    const DWORD result = ::GetExtendedUdpTable(space.data(), &size, FALSE, family, UDP_TABLE_BASIC, 0);
    if (result == ERROR_INSUFFICIENT_BUFFER) {
      // Sockets may come between two calls: leave some room for them.
      space.resize(size + 16 * sizeof(Table));
      continue;
    }
    if (result != NO_ERROR) return std::nullopt;
    Table table{};
    // The table's rows follow its count; copied out, as the bytes need not be aligned for them.
    std::memcpy(&table.dwNumEntries, space.data(), sizeof table.dwNumEntries);
    const std::size_t rows_at = offsetof(Table, table);
    using Row = std::remove_extent_t<decltype(table.table)>;
    for (DWORD i = 0; i < table.dwNumEntries; ++i) {
      const std::size_t row_at = rows_at + i * sizeof(Row);
      if (row_at + sizeof(Row) > space.size()) break;
      Row row{};
      std::memcpy(&row, space.data() + row_at, sizeof row);
      // The port is in network byte order in the row's low 16 bits.
      if (ntohs(static_cast<u_short>(row.dwLocalPort & 0xFFFF)) == port) return true;
    }
    return false;
  }
  return std::nullopt;
}

}  // namespace

PortUse udp_port_use(std::uint16_t port) {
  const std::optional<bool> ipv4 = table_has_port<MIB_UDPTABLE>(AF_INET, port);
  const std::optional<bool> ipv6 = table_has_port<MIB_UDP6TABLE>(AF_INET6, port);
  if (ipv4.value_or(false) || ipv6.value_or(false)) return PortUse::Bound;
  return ipv4 || ipv6 ? PortUse::Free : PortUse::Unknown;
}

std::optional<UdpSocket> UdpSocket::open_bound(const Endpoint& local) {
  if (!winsock_started()) return std::nullopt;
  const SOCKET handle = ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (handle == INVALID_SOCKET) return std::nullopt;
  UdpSocket socket(handle);
  const sockaddr_in address = to_sockaddr(local);
  if (::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return std::nullopt;
  // Reads never wait: the receiving thread waits in wait_readable.
  u_long non_blocking = 1;
  if (::ioctlsocket(handle, FIONBIO, &non_blocking) != 0) return std::nullopt;
  // Without this, the ICMP "port unreachable" that follows a send to a relay
  // that is down makes the next read fail: a relay that is away would look
  // like a broken socket.
  BOOL report_resets = FALSE;
  DWORD returned = 0;
  ::WSAIoctl(handle, SIO_UDP_CONNRESET, &report_resets, sizeof report_resets, nullptr, 0, &returned, nullptr, nullptr);
  return socket;
}

std::optional<Endpoint> UdpSocket::local_endpoint() const {
  sockaddr_in address{};
  int length = sizeof address;
  if (!valid() || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return std::nullopt;
  return from_sockaddr(address);
}

bool UdpSocket::send_to(std::span<const std::uint8_t> datagram, const Endpoint& to) const {
  if (!valid() || datagram.size() > INT_MAX) return false;
  const sockaddr_in address = to_sockaddr(to);
  const auto size = static_cast<int>(datagram.size());
  const auto send = [&] {
    return ::sendto(fd_, reinterpret_cast<const char*>(datagram.data()), size, 0,
                    reinterpret_cast<const sockaddr*>(&address), sizeof address);
  };
  int sent = send();
  // The socket does not block, for the reads' sake; a send that finds no
  // room (the queue full, or another thread's send still going out) waits
  // for it up to 200 ms, as a blocking send would. Wine may call the socket
  // writable and still refuse the send while another thread's is going out,
  // so the wait is counted in time, not in attempts.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  while (sent == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK && std::chrono::steady_clock::now() < deadline) {
    WSAPOLLFD watch{fd_, POLLWRNORM, 0};
    const int ready = ::WSAPoll(&watch, 1, 10);
    if (ready == SOCKET_ERROR) break;
    if (ready > 0) ::Sleep(1);
    sent = send();
  }
  return sent == size;
}

UdpSocket::Wait UdpSocket::wait_readable(std::chrono::milliseconds timeout) const {
  if (!valid()) return Wait::Failed;
  WSAPOLLFD watch{fd_, POLLRDNORM, 0};
  const auto wait_ms = static_cast<INT>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), -1, INT_MAX));
  const int ready = ::WSAPoll(&watch, 1, wait_ms);
  if (ready == SOCKET_ERROR) return Wait::Failed;
  if (ready == 0) return Wait::TimedOut;
  return (watch.revents & POLLRDNORM) ? Wait::Readable : Wait::Failed;
}

std::optional<UdpSocket::Received> UdpSocket::receive(std::span<std::uint8_t> buffer, Oversize oversize) const {
  if (!valid()) return std::nullopt;
  const auto capacity = static_cast<int>(std::min<std::size_t>(buffer.size(), INT_MAX));
  // A reset left by an earlier send is skipped; a bound keeps a flood of them
  // from holding the reader.
  for (int attempt = 0; attempt < 64; ++attempt) {
    sockaddr_in from{};
    int from_length = sizeof from;
    const int size = ::recvfrom(fd_, reinterpret_cast<char*>(buffer.data()), capacity, 0,
                                reinterpret_cast<sockaddr*>(&from), &from_length);
    if (size > 0) return Received{static_cast<std::size_t>(size), from_sockaddr(from)};
    if (size == 0) return std::nullopt;
    const int error = ::WSAGetLastError();
    // A datagram larger than the buffer fills it and loses the rest.
    if (error == WSAEMSGSIZE) {
      if (oversize == Oversize::Drop || capacity == 0) return std::nullopt;
      return Received{static_cast<std::size_t>(capacity), from_sockaddr(from)};
    }
    if (!reports_an_earlier_send(error)) return std::nullopt;
  }
  return std::nullopt;
}

// Windows has no call that reads several datagrams at once: one read each.
std::size_t UdpSocket::receive_many(std::span<std::uint8_t> area, std::size_t slot_bytes,
                                    std::span<Received> slots) const {
  constexpr std::size_t kMostAtOnce = 64;
  const std::size_t count = std::min({slots.size(), kMostAtOnce, slot_bytes == 0 ? 0 : area.size() / slot_bytes});
  if (!valid() || count == 0 || slot_bytes > INT_MAX) return 0;
  std::size_t read = 0;
  int resets = 0;
  while (read < count) {
    sockaddr_in from{};
    int from_length = sizeof from;
    const int size = ::recvfrom(fd_, reinterpret_cast<char*>(area.data() + read * slot_bytes),
                                static_cast<int>(slot_bytes), 0, reinterpret_cast<sockaddr*>(&from), &from_length);
    if (size >= 0) {
      slots[read++] = Received{static_cast<std::size_t>(size), from_sockaddr(from)};
      continue;
    }
    const int error = ::WSAGetLastError();
    if (error == WSAEMSGSIZE) {
      slots[read++] = Received{0, from_sockaddr(from)};
    } else if (!reports_an_earlier_send(error) || ++resets > static_cast<int>(kMostAtOnce)) {
      break;
    }
  }
  return read;
}

int UdpSocket::enlarge_receive_queue(int bytes) const {
  if (!valid()) return 0;
  // Windows has no system-wide ceiling to pass: the size asked is the size given.
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
  int given = 0;
  int length = sizeof given;
  if (::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&given), &length) != 0) return 0;
  return given;
}

void UdpSocket::close() {
  if (valid()) ::closesocket(fd_);
  fd_ = kNoSocket;
}

}  // namespace marvok::platform
