#include "enrolment_limit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace marvok::web_server {
namespace {

using std::chrono::minutes;

TEST(EnrolmentLimit, CountsEachSourceAndEarnsEnrolmentsBackOverTheHour) {
  struct Step {
    int at_minute;
    const char* address;
    bool allowed;
  };
  // Three an hour: one earned back every 20 minutes, at most three in hand.
  const std::vector<Step> steps = {
      {0, "198.51.100.7", true},
      {0, "198.51.100.7", true},
      {0, "::ffff:198.51.100.7", true},  // the same address, as a dual-stack socket shows it
      {0, "198.51.100.7", false},
      {0, "198.51.100.8", true},  // its neighbour is another source
      {0, "2001:db8:1:2::10", true},
      {0, "2001:db8:1:2:ffff::1", true},
      {0, "2001:db8:1:2:aaaa:bbbb:cccc:dddd", true},
      {0, "2001:db8:1:2::99", false},  // the same /64
      {0, "2001:db8:1:3::10", true},   // the next /64
      {19, "198.51.100.7", false},
      {20, "198.51.100.7", true},
      {21, "198.51.100.7", false},
      {300, "198.51.100.7", true},
      {300, "198.51.100.7", true},
      {300, "198.51.100.7", true},
      {300, "198.51.100.7", false},  // never more than three in hand
      {300, "not an address", false},
      {300, "", false},
      {300, "127.0.0.1", true},
      {300, "127.0.0.1", true},
      {300, "127.8.9.10", true},
      {300, "::1", true},
      {300, "::ffff:127.0.0.1", true},
      {300, "127.0.0.1", true},
  };
  EnrolmentLimit limit(3, false);
  const auto start = EnrolmentLimit::Clock::now();
  for (const Step& step : steps) {
    EXPECT_EQ(limit.allow(step.address, start + minutes(step.at_minute)), step.allowed)
        << step.address << " at minute " << step.at_minute;
  }
}

TEST(EnrolmentLimit, LoopbackIsCountedWhenAskedAndNoneIsAllowedAtZero) {
  const auto now = EnrolmentLimit::Clock::now();
  EnrolmentLimit counted(1, true);
  EXPECT_TRUE(counted.allow("127.0.0.1", now));
  EXPECT_FALSE(counted.allow("127.0.0.1", now));
  EXPECT_TRUE(counted.allow("::1", now));
  EXPECT_FALSE(counted.allow("::1", now));

  EnrolmentLimit closed(0, false);
  EXPECT_FALSE(closed.allow("198.51.100.7", now));
  EXPECT_TRUE(closed.allow("127.0.0.1", now));
}

TEST(EnrolmentLimit, RemembersBoundedSourcesAndForgetsThoseWithAllBack) {
  EnrolmentLimit limit(1, false);
  const auto start = EnrolmentLimit::Clock::now();
  const auto address = [](std::size_t i) {
    return "10." + std::to_string(i >> 16 & 255) + "." + std::to_string(i >> 8 & 255) + "." + std::to_string(i & 255);
  };
  for (std::size_t i = 0; i < EnrolmentLimit::kMostSources; ++i) ASSERT_TRUE(limit.allow(address(i), start));
  EXPECT_FALSE(limit.allow("198.51.100.7", start)) << "a full table took a new source";
  EXPECT_FALSE(limit.allow(address(0), start + minutes(30))) << "a source was forgotten before it earned it back";
  EXPECT_TRUE(limit.allow("198.51.100.7", start + minutes(61)));
  EXPECT_FALSE(limit.allow("198.51.100.7", start + minutes(61)));
}

}  // namespace
}  // namespace marvok::web_server
