#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/udp_socket.h"
#include "relay/datagrams.h"

namespace marvok::relay_server {

// One speech block on its way to many members, handed to the system in one
// call per batch: only the head differs between receivers (their sequence
// number), so every datagram points at the same block instead of a copy.
class ForwardBatch {
 public:
  static constexpr std::size_t kSize = 64;

  struct Result {
    std::size_t sent = 0;
    std::size_t failed = 0;
  };

  // `head` is the first kVoiceHeaderSize bytes of the datagram, `block` the rest.
  void add(std::span<const std::uint8_t, relay::kVoiceHeaderSize> head, const platform::Endpoint& to);
  bool full() const { return count_ == kSize; }
  std::size_t size() const { return count_; }
  std::span<const std::uint8_t, relay::kVoiceHeaderSize> head(std::size_t i) const { return heads_[i]; }
  platform::Endpoint to(std::size_t i) const;
  void clear() { count_ = 0; }
  // Sends what was added, each datagram its head then `block`, and empties the batch.
  Result send(const platform::UdpSocket& socket, std::span<const std::uint8_t> block);

 private:
  std::array<std::array<std::uint8_t, relay::kVoiceHeaderSize>, kSize> heads_{};
  std::array<sockaddr_in, kSize> to_{};
  std::array<std::array<iovec, 2>, kSize> parts_{};
  std::array<mmsghdr, kSize> messages_{};
  std::size_t count_ = 0;
};

}  // namespace marvok::relay_server
