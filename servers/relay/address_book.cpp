#include "address_book.h"

#include <algorithm>

namespace marvok::relay_server {

namespace {

// Addresses share the endpoint index with port 0, which no client sends from.
platform::Endpoint key_of(std::uint32_t address) { return {address, 0}; }

}  // namespace

AddressBook::AddressBook(std::size_t capacity) : index_(capacity), entries_(capacity) {
  free_.reserve(capacity);
  for (std::size_t entry = capacity; entry > 0; --entry) free_.push_back(static_cast<std::uint16_t>(entry - 1));
}

std::uint16_t AddressBook::find(std::uint32_t address) const { return index_.find(key_of(address)); }

std::size_t AddressBook::clients_at(std::uint32_t address) const {
  const std::uint16_t entry = find(address);
  return entry == EndpointIndex::kNone ? 0 : entries_[entry].clients;
}

void AddressBook::add_client(std::uint32_t address) {
  std::uint16_t entry = find(address);
  if (entry == EndpointIndex::kNone) {
    // The client table admits no more clients than there are entries.
    if (free_.empty()) return;
    entry = free_.back();
    free_.pop_back();
    entries_[entry] = Entry{};
    index_.insert(key_of(address), entry);
  }
  ++entries_[entry].clients;
}

void AddressBook::remove_client(std::uint32_t address) {
  const std::uint16_t entry = find(address);
  if (entry == EndpointIndex::kNone) return;
  if (--entries_[entry].clients > 0) return;
  index_.erase(key_of(address));
  free_.push_back(entry);
}

bool AddressBook::answer_list_request(std::uint32_t address, Clock::time_point now) {
  const std::uint16_t found = find(address);
  if (found == EndpointIndex::kNone) return false;
  Entry& entry = entries_[found];
  const auto clients = static_cast<int>(entry.clients);
  const Clock::duration spacing = Clock::duration(kListRequestSpacing) / clients;
  const Clock::time_point due = std::max(entry.lists_due, now);
  if (due - now > spacing * (kListRequestBurst * clients - 1)) return false;
  entry.lists_due = due + spacing;
  return true;
}

}  // namespace marvok::relay_server
