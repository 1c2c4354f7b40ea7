#include "address_book.h"

#include <algorithm>
#include <vector>

namespace marvok::relay_server {

namespace {

// Addresses share the endpoint index with port 0, which no client sends from.
platform::Endpoint key_of(std::uint32_t address) { return {address, 0}; }

}  // namespace

AddressBook::AddressBook(std::size_t capacity) : index_(2 * capacity), entries_(2 * capacity), capacity_(capacity) {
  free_.reserve(2 * capacity);
  for (std::size_t entry = 2 * capacity; entry > 0; --entry) free_.push_back(static_cast<std::uint16_t>(entry - 1));
}

std::uint16_t AddressBook::find(std::uint32_t address) const { return index_.find(key_of(address)); }

std::size_t AddressBook::clients_at(std::uint32_t address) const {
  const std::uint16_t entry = find(address);
  return entry == EndpointIndex::kNone ? 0 : entries_[entry].clients;
}

std::size_t AddressBook::members_at(std::uint32_t address) const {
  const std::uint16_t entry = find(address);
  return entry == EndpointIndex::kNone ? 0 : entries_[entry].clients + entries_[entry].elsewhere;
}

std::uint16_t AddressBook::find_or_add(std::uint32_t address) {
  std::uint16_t entry = find(address);
  if (entry != EndpointIndex::kNone || free_.empty()) return entry;
  entry = free_.back();
  free_.pop_back();
  entries_[entry] = Entry{address};
  index_.insert(key_of(address), entry);
  return entry;
}

void AddressBook::drop_if_empty(std::uint16_t entry, std::uint32_t address) {
  if (entries_[entry].clients > 0 || entries_[entry].elsewhere > 0) return;
  index_.erase(key_of(address));
  free_.push_back(entry);
}

void AddressBook::add_client(std::uint32_t address) {
  const std::uint16_t entry = find_or_add(address);
  if (entry == EndpointIndex::kNone) return;
  if (entries_[entry].clients++ == 0) ++with_clients_;
}

void AddressBook::remove_client(std::uint32_t address) {
  const std::uint16_t entry = find(address);
  if (entry == EndpointIndex::kNone || entries_[entry].clients == 0) return;
  if (--entries_[entry].clients == 0) --with_clients_;
  drop_if_empty(entry, address);
}

void AddressBook::set_members_elsewhere(std::uint32_t address, std::size_t members) {
  std::uint16_t entry = find(address);
  // A new address takes an entry only when the relay's own clients keep enough.
  if (entry == EndpointIndex::kNone && members > 0 && free_.size() > capacity_ - with_clients_)
    entry = find_or_add(address);
  if (entry == EndpointIndex::kNone) return;
  entries_[entry].elsewhere = members;
  drop_if_empty(entry, address);
}

bool AddressBook::answer_list_request(std::uint32_t address, Clock::time_point now) {
  const std::uint16_t found = find(address);
  if (found == EndpointIndex::kNone) return false;
  Entry& entry = entries_[found];
  const auto clients = static_cast<int>(entry.clients + entry.elsewhere);
  const Clock::duration spacing = Clock::duration(kListRequestSpacing) / clients;
  const Clock::time_point due = std::max(entry.lists_due, now);
  if (due - now > spacing * (kListRequestBurst * clients - 1)) return false;
  entry.lists_due = due + spacing;
  return true;
}

}  // namespace marvok::relay_server
