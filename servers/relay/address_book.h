#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "endpoint_index.h"

namespace marvok::relay_server {

// The admitted clients behind each IPv4 address, and how fast that address
// may have member lists. Replies go only where admitted clients are, at
// about the pace they ask, so a forged source address draws nothing and a
// real one no more than its own clients would. Allocates only when built.
class AddressBook {
 public:
  using Clock = std::chrono::steady_clock;

  // A client's control worker asks for two lists at most every 1.4 s; each
  // admitted client may have one every kListRequestSpacing, in bursts of
  // kListRequestBurst, twice what it asks.
  static constexpr std::chrono::milliseconds kListRequestSpacing{350};
  static constexpr int kListRequestBurst = 4;

  // Room for `capacity` addresses: one per admitted client at most.
  explicit AddressBook(std::size_t capacity);

  std::size_t clients_at(std::uint32_t address) const;
  void add_client(std::uint32_t address);
  void remove_client(std::uint32_t address);
  // True when a list request from this address is to be answered now.
  bool answer_list_request(std::uint32_t address, Clock::time_point now);

 private:
  struct Entry {
    std::size_t clients = 0;
    // When the address's allowance is used up; GCRA's theoretical arrival time.
    Clock::time_point lists_due{};
  };

  std::uint16_t find(std::uint32_t address) const;

  EndpointIndex index_;
  std::vector<Entry> entries_;
  std::vector<std::uint16_t> free_;
};

}  // namespace marvok::relay_server
