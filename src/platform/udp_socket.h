#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/native_socket.h"

namespace marvok::platform {

// An IPv4 address and UDP port, both in host byte order.
struct Endpoint {
  std::uint32_t address = 0;
  std::uint16_t port = 0;

  bool operator==(const Endpoint&) const = default;
};

// "a.b.c.d" in host byte order; nothing for anything else.
std::optional<std::uint32_t> parse_ipv4(std::string_view text);
std::string format_endpoint(const Endpoint& endpoint);

// Whether a UDP socket of this network namespace, IPv4 or IPv6, is bound to
// a port, from the system's socket tables.
enum class PortUse { Bound, Free, Unknown };
PortUse udp_port_use(std::uint16_t port);

// A UDP/IPv4 socket. Sends may come from several threads at once; one thread
// waits and receives.
class UdpSocket {
 public:
  enum class Wait { Readable, TimedOut, Failed };
  // What receive does with a datagram larger than its buffer.
  enum class Oversize { Drop, Cut };

  struct Received {
    std::size_t size = 0;
    Endpoint from;
  };

  UdpSocket() = default;
  UdpSocket(UdpSocket&& other) noexcept : fd_(std::exchange(other.fd_, kNoSocket)) {}
  UdpSocket& operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
      close();
      fd_ = std::exchange(other.fd_, kNoSocket);
    }
    return *this;
  }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;
  ~UdpSocket() { close(); }

  // Bound to any local address and a port the system chooses.
  static std::optional<UdpSocket> open_ephemeral() { return open_bound(Endpoint{}); }
  // Bound to the given address and port (0 for any).
  static std::optional<UdpSocket> open_bound(const Endpoint& local);

  bool valid() const { return fd_ != kNoSocket; }
  NativeSocket descriptor() const { return fd_; }
  std::optional<Endpoint> local_endpoint() const;

  // One datagram with no flags; false when it could not be sent.
  bool send_to(std::span<const std::uint8_t> datagram, const Endpoint& to) const;
  // Waits at most `timeout` for a datagram to read.
  Wait wait_readable(std::chrono::milliseconds timeout) const;
  // Reads one waiting datagram without blocking. Nothing when the read fails,
  // nothing was waiting, the datagram is empty or it is larger than `buffer`
  // and is to be dropped; a cut one keeps what fits and loses the rest.
  std::optional<Received> receive(std::span<std::uint8_t> buffer, Oversize oversize = Oversize::Drop) const;
  // Reads up to `slots.size()` waiting datagrams in one call without blocking,
  // datagram i into `area` at i * `slot_bytes`. Returns how many were read (0
  // when nothing was waiting or the read failed); an empty one, or one larger
  // than its slot, is read and dropped and reported with size 0.
  std::size_t receive_many(std::span<std::uint8_t> area, std::size_t slot_bytes, std::span<Received> slots) const;
  // Asks for a receive queue of `bytes`, beyond the system's ceiling where the
  // process may; returns the size the system gives, 0 on failure.
  int enlarge_receive_queue(int bytes) const;

  void close();

 private:
  explicit UdpSocket(NativeSocket fd) : fd_(fd) {}
  NativeSocket fd_ = kNoSocket;
};

}  // namespace marvok::platform
