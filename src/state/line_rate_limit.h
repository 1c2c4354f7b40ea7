#pragma once

#include <chrono>

namespace marvok {

// Lets a stream of console lines through at a bounded rate: at most
// `lines_per_period` in each period, counting the lines held back so that the
// next line let through can say how many there were.
class LineRateLimit {
 public:
  using Clock = std::chrono::steady_clock;

  struct Admission {
    bool print = false;
    // Lines held back since the last one printed; told before this one.
    int held_back = 0;
  };

  LineRateLimit(int lines_per_period, Clock::duration period) : lines_per_period_(lines_per_period), period_(period) {}

  Admission admit(Clock::time_point now);

 private:
  int lines_per_period_;
  Clock::duration period_;
  Clock::time_point period_start_{};
  bool started_ = false;
  int printed_in_period_ = 0;
  int held_back_ = 0;
};

}  // namespace marvok
