#include "connections_per_address.h"

#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace marvok::web_server {

namespace {

constexpr std::array<std::uint8_t, 12> kIpv4MappedPrefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

}  // namespace

std::optional<ConnectionsPerAddress::Source> ConnectionsPerAddress::counted_source(const sockaddr* address) const {
  if (!address) return std::nullopt;
  Source source{};
  if (address->sa_family == AF_INET) {
    std::copy(kIpv4MappedPrefix.begin(), kIpv4MappedPrefix.end(), source.begin());
    std::memcpy(source.data() + 12, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, 4);
  } else if (address->sa_family == AF_INET6) {
    std::memcpy(source.data(), &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, 16);
  } else {
    return std::nullopt;
  }
  const bool mapped = std::equal(kIpv4MappedPrefix.begin(), kIpv4MappedPrefix.end(), source.begin());
  const bool loopback =
      mapped ? source[12] == 127
             : std::all_of(source.begin(), source.end() - 1, [](auto b) { return b == 0; }) && source[15] == 1;
  if (loopback && !limit_loopback_) return std::nullopt;
  if (!mapped) std::fill(source.begin() + 8, source.end(), 0);
  return source;
}

bool ConnectionsPerAddress::admits(const sockaddr* address) const {
  const std::optional<Source> source = counted_source(address);
  if (!source) return true;
  std::lock_guard lock(mutex_);
  const auto found = open_.find(*source);
  return found == open_.end() || found->second < most_;
}

void ConnectionsPerAddress::opened(const sockaddr* address) {
  const std::optional<Source> source = counted_source(address);
  if (!source) return;
  std::lock_guard lock(mutex_);
  ++open_[*source];
}

void ConnectionsPerAddress::closed(const sockaddr* address) {
  const std::optional<Source> source = counted_source(address);
  if (!source) return;
  std::lock_guard lock(mutex_);
  const auto found = open_.find(*source);
  if (found == open_.end()) return;
  if (--found->second == 0) open_.erase(found);
}

}  // namespace marvok::web_server
