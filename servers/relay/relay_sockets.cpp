#include "relay_sockets.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace marvok::relay_server {

namespace {

// Room for bursts of presence from many clients while a speech datagram is fanned out.
constexpr int kReceiveBufferBytes = 1 << 20;

std::optional<platform::UdpSocket> open_port(std::uint32_t address, int port, std::string& error) {
  const platform::Endpoint local{address, static_cast<std::uint16_t>(port)};
  auto socket = platform::UdpSocket::open_bound(local);
  if (!socket) {
    const int reason = errno;
    error = "cannot bind " + platform::format_endpoint(local) + ": " + std::strerror(reason);
    return std::nullopt;
  }
  const int fd = socket->descriptor();
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  // Best effort: the system may cap it, which only makes bursts likelier to drop.
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
  return socket;
}

}  // namespace

std::optional<RelaySockets> RelaySockets::open(std::uint32_t address, const ChannelSet& channels, std::string& error) {
  RelaySockets sockets;
  for (int channel = 0; channel < relay::kChannelCount; ++channel) {
    if (!channels.test(static_cast<std::size_t>(channel))) continue;
    auto voice = open_port(address, relay::voice_port_of(channel), error);
    if (!voice) return std::nullopt;
    auto control = open_port(address, relay::control_port_of(channel), error);
    if (!control) return std::nullopt;
    sockets.voice_[static_cast<std::size_t>(channel)] = std::move(*voice);
    sockets.control_[static_cast<std::size_t>(channel)] = std::move(*control);
  }
  return sockets;
}

bool RelaySockets::send_from(RelayPort port, int channel, std::span<const std::uint8_t> datagram,
                             const platform::Endpoint& to) const {
  const platform::UdpSocket& socket = port == RelayPort::Voice ? voice(channel) : control(channel);
  return socket.send_to(datagram, to);
}

}  // namespace marvok::relay_server
