#include "state/line_rate_limit.h"

namespace marvok {

LineRateLimit::Admission LineRateLimit::admit(Clock::time_point now) {
  if (!started_ || now - period_start_ >= period_) {
    started_ = true;
    period_start_ = now;
    printed_in_period_ = 0;
  }
  if (printed_in_period_ >= lines_per_period_) {
    ++held_back_;
    return {};
  }
  ++printed_in_period_;
  const Admission admission{true, held_back_};
  held_back_ = 0;
  return admission;
}

}  // namespace marvok
