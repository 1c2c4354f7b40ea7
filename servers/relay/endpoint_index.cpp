#include "endpoint_index.h"

namespace marvok::relay_server {

namespace {

constexpr std::uint64_t kGoldenRatio = 0x9E3779B97F4A7C15ULL;

}  // namespace

EndpointIndex::EndpointIndex(std::size_t capacity) {
  std::size_t size = 2;
  int bits = 1;
  while (size < 2 * capacity) {
    size *= 2;
    ++bits;
  }
  entries_.resize(size);
  mask_ = size - 1;
  shift_ = 64 - bits;
}

std::uint64_t EndpointIndex::key_of(const platform::Endpoint& endpoint) {
  return std::uint64_t{endpoint.address} << 16 | endpoint.port;
}

std::size_t EndpointIndex::home_of(std::uint64_t key) const {
  // Fibonacci hashing spreads neighbouring ports from one address over the table.
  return static_cast<std::size_t>((key * kGoldenRatio) >> shift_);
}

std::size_t EndpointIndex::position_of(std::uint64_t key) const {
  std::size_t at = home_of(key);
  while (entries_[at].slot != kNone && entries_[at].key != key) at = (at + 1) & mask_;
  return at;
}

std::uint16_t EndpointIndex::find(const platform::Endpoint& endpoint) const {
  return entries_[position_of(key_of(endpoint))].slot;
}

void EndpointIndex::insert(const platform::Endpoint& endpoint, std::uint16_t slot) {
  const std::uint64_t key = key_of(endpoint);
  entries_[position_of(key)] = Entry{key, slot};
}

void EndpointIndex::erase(const platform::Endpoint& endpoint) {
  std::size_t hole = position_of(key_of(endpoint));
  if (entries_[hole].slot == kNone) return;
  // Shift later entries of the same run back into the hole, so probing never
  // stops early at a gap and no tombstones accumulate.
  for (std::size_t next = (hole + 1) & mask_; entries_[next].slot != kNone; next = (next + 1) & mask_) {
    const std::size_t home = home_of(entries_[next].key);
    const bool home_after_hole = ((next - home) & mask_) < ((next - hole) & mask_);
    if (home_after_hole) continue;
    entries_[hole] = entries_[next];
    hole = next;
  }
  entries_[hole] = Entry{};
}

}  // namespace marvok::relay_server
