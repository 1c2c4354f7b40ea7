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
// real one no more than its own clients would. With relay hosts sharing what
// they admit, the members other hosts admitted behind an address count too.
// Allocates only when built.
class AddressBook {
 public:
  using Clock = std::chrono::steady_clock;

  // A client's control worker asks for two lists at most every 1.4 s; each
  // admitted client may have one every kListRequestSpacing, in bursts of
  // kListRequestBurst, twice what it asks.
  static constexpr std::chrono::milliseconds kListRequestSpacing{350};
  static constexpr int kListRequestBurst = 4;

  // Room for `capacity` addresses of this relay's clients (one per admitted
  // client at most), and as many more of other hosts' members.
  explicit AddressBook(std::size_t capacity);

  // This relay's admitted clients behind the address.
  std::size_t clients_at(std::uint32_t address) const;
  // Those and the members other hosts admitted behind it.
  std::size_t members_at(std::uint32_t address) const;
  void add_client(std::uint32_t address);
  void remove_client(std::uint32_t address);
  // The members other hosts now say they admitted behind the address.
  void set_members_elsewhere(std::uint32_t address, std::size_t members);
  // Calls `visit(address, clients)` for each address with this relay's clients.
  template <typename Visit>
  void for_each_with_clients(Visit visit) const {
    for (const Entry& entry : entries_)
      if (entry.clients > 0) visit(entry.address, entry.clients);
  }
  // True when a list request from this address is to be answered now.
  bool answer_list_request(std::uint32_t address, Clock::time_point now);

 private:
  struct Entry {
    std::uint32_t address = 0;
    std::size_t clients = 0;
    std::size_t elsewhere = 0;
    // When the address's allowance is used up; GCRA's theoretical arrival time.
    Clock::time_point lists_due{};
  };

  std::uint16_t find(std::uint32_t address) const;
  // The address's entry, made when missing; kNone when the book is full.
  std::uint16_t find_or_add(std::uint32_t address);
  void drop_if_empty(std::uint16_t entry, std::uint32_t address);

  EndpointIndex index_;
  std::vector<Entry> entries_;
  std::vector<std::uint16_t> free_;
  // Addresses with this relay's clients: the others may use only the free
  // entries those could still need, so that a client always finds one.
  std::size_t capacity_;
  std::size_t with_clients_ = 0;
};

}  // namespace marvok::relay_server
