#include "enrolment_limit.h"

#include <arpa/inet.h>

#include <algorithm>
#include <optional>

namespace marvok::web_server {

namespace {

constexpr std::array<std::uint8_t, 12> kMappedPrefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

struct ParsedAddress {
  std::array<std::uint8_t, 16> bytes{};  // IPv4 in its mapped form
  bool loopback = false;
};

std::optional<ParsedAddress> parse(std::string_view text) {
  // A link-local IPv6 address comes with its interface ("fe80::1%eth0").
  const std::string address(text.substr(0, text.find('%')));
  ParsedAddress parsed;
  in_addr v4{};
  if (::inet_pton(AF_INET, address.c_str(), &v4) == 1) {
    std::copy(kMappedPrefix.begin(), kMappedPrefix.end(), parsed.bytes.begin());
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&v4), 4, parsed.bytes.begin() + 12);
  } else if (in6_addr v6{}; ::inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&v6), 16, parsed.bytes.begin());
  } else {
    return std::nullopt;
  }
  const bool mapped = std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), parsed.bytes.begin());
  const bool v6_loopback =
      std::all_of(parsed.bytes.begin(), parsed.bytes.end() - 1, [](auto b) { return b == 0; }) && parsed.bytes[15] == 1;
  parsed.loopback = (mapped && parsed.bytes[12] == 127) || v6_loopback;
  // One subscriber's IPv6 network is a /64: its other 64 bits are the same source.
  if (!mapped) std::fill(parsed.bytes.begin() + 8, parsed.bytes.end(), 0);
  return parsed;
}

}  // namespace

bool EnrolmentLimit::allow(std::string_view address, Clock::time_point now) {
  const std::optional<ParsedAddress> parsed = parse(address);
  if (parsed && parsed->loopback && !limit_loopback_) return true;
  if (!parsed || per_hour_ <= 0) return false;
  std::lock_guard lock(mutex_);
  auto found = sources_.find(parsed->bytes);
  if (found == sources_.end()) {
    if (sources_.size() >= kMostSources) forget_replenished(now);
    if (sources_.size() >= kMostSources) return false;
    found = sources_.emplace(parsed->bytes, Allowance{static_cast<double>(per_hour_), now}).first;
  }
  Allowance& allowance = found->second;
  allowance.in_hand = std::min<double>(per_hour_, allowance.in_hand + earned_since(allowance.counted_at, now));
  allowance.counted_at = now;
  if (allowance.in_hand < 1) return false;
  allowance.in_hand -= 1;
  return true;
}

double EnrolmentLimit::earned_since(Clock::time_point then, Clock::time_point now) const {
  return std::chrono::duration<double, std::ratio<3600>>(now - then).count() * per_hour_;
}

void EnrolmentLimit::forget_replenished(Clock::time_point now) {
  std::erase_if(sources_, [&](const auto& entry) {
    return entry.second.in_hand + earned_since(entry.second.counted_at, now) >= per_hour_;
  });
}

}  // namespace marvok::web_server
