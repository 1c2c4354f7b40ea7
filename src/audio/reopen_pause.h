#pragma once

#include <algorithm>
#include <chrono>

namespace marvok {

// The wait before each new try to open a sound device that was lost. A
// restarting sound server is usually back within a second, so the first
// tries come soon; the wait then doubles up to `longest`, so a server that
// stays away costs next to nothing while a returning one is found quickly.
class ReopenPause {
 public:
  static constexpr std::chrono::milliseconds kFirst{500};
  static constexpr std::chrono::milliseconds kLongest{2000};

  constexpr ReopenPause(std::chrono::milliseconds first = kFirst, std::chrono::milliseconds longest = kLongest)
      : first_(first), longest_(std::max(first, longest)), next_(first) {}

  // The wait before the next try; each call doubles the one after it.
  constexpr std::chrono::milliseconds next() {
    const std::chrono::milliseconds pause = next_;
    next_ = std::min(next_ * 2, longest_);
    return pause;
  }
  // The device works again: a later loss starts with short waits.
  constexpr void reset() { next_ = first_; }

 private:
  std::chrono::milliseconds first_;
  std::chrono::milliseconds longest_;
  std::chrono::milliseconds next_;
};

}  // namespace marvok
