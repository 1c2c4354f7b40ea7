#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/udp_socket.h"

namespace marvok::relay_server {

// Finds a client's slot from one of its socket addresses without allocating
// after construction: linear probing over a fixed table that the client table
// keeps at most half full, so lookups stay short.
class EndpointIndex {
 public:
  static constexpr std::uint16_t kNone = 0xFFFF;

  // Room for `capacity` endpoints; the table gets twice that, rounded up to a power of two.
  explicit EndpointIndex(std::size_t capacity);

  std::uint16_t find(const platform::Endpoint& endpoint) const;
  // Adds or replaces; the caller never stores more than the capacity.
  void insert(const platform::Endpoint& endpoint, std::uint16_t slot);
  void erase(const platform::Endpoint& endpoint);

 private:
  struct Entry {
    std::uint64_t key = 0;
    std::uint16_t slot = kNone;  // kNone marks an empty entry
  };

  static std::uint64_t key_of(const platform::Endpoint& endpoint);
  std::size_t home_of(std::uint64_t key) const;
  // The entry holding `key`, or the empty entry where it would go.
  std::size_t position_of(std::uint64_t key) const;

  std::vector<Entry> entries_;
  std::size_t mask_ = 0;
  int shift_ = 0;
};

}  // namespace marvok::relay_server
