#include "web/retry_pauses.h"

#include <algorithm>

namespace marvok::web {

namespace {

constexpr double kSpread = 0.2;

}  // namespace

RetryPauses::RetryPauses(std::chrono::milliseconds first, std::chrono::milliseconds longest, std::uint32_t seed)
    : base_(first), longest_(longest), random_(seed) {}

std::chrono::milliseconds RetryPauses::next() {
  std::uniform_real_distribution<double> factor(1.0 - kSpread, 1.0 + kSpread);
  const auto pause =
      std::chrono::milliseconds(static_cast<std::int64_t>(static_cast<double>(base_.count()) * factor(random_)));
  base_ = std::min(base_ * 2, longest_);
  return pause;
}

}  // namespace marvok::web
