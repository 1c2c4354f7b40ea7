#include "state/line_rate_limit.h"

#include <gtest/gtest.h>

#include <vector>

namespace marvok {
namespace {

using std::chrono::milliseconds;

// Three lines per second; each step is a line offered at a time from the start.
TEST(LineRateLimit, LetsABoundedNumberThroughEachPeriodAndTellsWhatItHeldBack) {
  struct Step {
    int at_ms;
    bool printed;
    int held_back;
  };
  const std::vector<Step> steps = {
      {0, true, 0},     {10, true, 0},   {20, true, 0},  // the period's three lines
      {30, false, 0},   {900, false, 0},                 // held back
      {1000, true, 2},  {1001, true, 0}, {1002, true, 0},
      {1003, false, 0}, {5000, true, 1},  // long after: a new period starts at the line itself
      {5999, true, 0},  {6000, true, 0},  // 6000 is already the next period
  };
  LineRateLimit limit(3, milliseconds(1000));
  const LineRateLimit::Clock::time_point start{};
  for (const Step& step : steps) {
    const auto admission = limit.admit(start + milliseconds(step.at_ms));
    EXPECT_EQ(admission.print, step.printed) << "at " << step.at_ms << " ms";
    EXPECT_EQ(admission.held_back, step.held_back) << "at " << step.at_ms << " ms";
  }
}

}  // namespace
}  // namespace marvok
