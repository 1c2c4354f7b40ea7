#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace marvok::web_server {

// How many new machines one source may enrol: an IPv4 address, or an IPv6
// /64 (what one subscriber usually holds), a few an hour by default, so that
// one address cannot use up the member numbers. Each source earns back one
// enrolment every hour / `per_hour` up to `per_hour` in hand. Loopback is
// left free unless asked, so that the machine's own clients and the tests
// enrol as many as they like.
class EnrolmentLimit {
 public:
  using Clock = std::chrono::steady_clock;
  // Sources remembered at most; past it, new sources are refused until
  // others have earned back everything and are forgotten.
  static constexpr std::size_t kMostSources = 100'000;

  EnrolmentLimit(int per_hour, bool limit_loopback) : per_hour_(per_hour), limit_loopback_(limit_loopback) {}

  // True, and counted, when a new machine from `address` (numeric, as the
  // connection came from) may be enrolled now.
  bool allow(std::string_view address, Clock::time_point now = Clock::now());

 private:
  // The address's source: 16 bytes, an IPv4 address in its IPv6 mapped form,
  // an IPv6 one cut to its /64.
  using Source = std::array<std::uint8_t, 16>;
  struct Allowance {
    double in_hand = 0;
    Clock::time_point counted_at;
  };

  void forget_replenished(Clock::time_point now);
  double earned_since(Clock::time_point then, Clock::time_point now) const;

  int per_hour_;
  bool limit_loopback_;
  std::mutex mutex_;
  std::map<Source, Allowance> sources_;
};

}  // namespace marvok::web_server
