#pragma once

#include <array>
#include <chrono>
#include <cstddef>

namespace marvok::relay_server {

// Whether a voice socket sends presence at a client's pace. A client sends
// one every 20 ms (15 ms on channel 3) for as long as it runs, so a few in a
// short while cost a real client nothing, while a source address forged in
// a datagram or two never gets that far and so draws no speech.
class PresencePace {
 public:
  static constexpr std::size_t kPresences = 3;
  // Three presences span 40 ms at the client's pace; a client's 20 ms sleep
  // stretches to ~31 ms on some systems, and the network adds jitter.
  static constexpr std::chrono::milliseconds kWindow{150};

  // Notes a presence; true when it and the kPresences - 1 before it all
  // arrived within kWindow.
  bool note(std::chrono::steady_clock::time_point now) {
    const bool steady = heard_ + 1 >= kPresences && now - earlier_[next_] <= kWindow;
    earlier_[next_] = now;
    next_ = (next_ + 1) % earlier_.size();
    if (heard_ < kPresences) ++heard_;
    return steady;
  }

 private:
  // The arrivals of the kPresences - 1 presences before, oldest at next_.
  std::array<std::chrono::steady_clock::time_point, kPresences - 1> earlier_{};
  std::size_t next_ = 0;
  std::size_t heard_ = 0;
};

}  // namespace marvok::relay_server
