#pragma once

#include <chrono>
#include <cstdint>
#include <random>

namespace marvok::web {

// The pauses between attempts to reach a service that did not answer: the
// first one, doubled after each attempt up to the longest, each drawn within
// a fifth either side, so that clients cut off together do not all come back
// at the same moment.
class RetryPauses {
 public:
  RetryPauses(std::chrono::milliseconds first, std::chrono::milliseconds longest, std::uint32_t seed);

  std::chrono::milliseconds next();

 private:
  std::chrono::milliseconds base_;
  std::chrono::milliseconds longest_;
  std::minstd_rand random_;
};

inline constexpr std::chrono::milliseconds kFirstIdentificationRetry = std::chrono::seconds(5);
inline constexpr std::chrono::milliseconds kLongestIdentificationRetry = std::chrono::minutes(5);

}  // namespace marvok::web
