#include "enrolment_limit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "member_store.h"
#include "running_web_service.h"

namespace marvok::web_server::testing {
namespace {

constexpr std::int64_t minutes(int count) { return count * std::int64_t{60'000}; }

// A members' database of its own, on the engine the suite runs on.
class EnrolmentDatabase {
 public:
  MemberStore& store() { return store_; }

 private:
  TemporaryFolder folder_;
  MemberStore store_{fresh_database(folder_)};
};

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
  EnrolmentDatabase database;
  EnrolmentLimit limit(database.store().pool(), 3, false);
  const std::int64_t start = EnrolmentLimit::now();
  for (const Step& step : steps) {
    EXPECT_EQ(limit.allow(step.address, start + minutes(step.at_minute)), step.allowed)
        << step.address << " at minute " << step.at_minute;
  }
}

TEST(EnrolmentLimit, LoopbackIsCountedWhenAskedAndNoneIsAllowedAtZero) {
  EnrolmentDatabase database;
  const std::int64_t now = EnrolmentLimit::now();
  EnrolmentLimit counted(database.store().pool(), 1, true);
  EXPECT_TRUE(counted.allow("127.0.0.1", now));
  EXPECT_FALSE(counted.allow("127.0.0.1", now));
  EXPECT_TRUE(counted.allow("::1", now));
  EXPECT_FALSE(counted.allow("::1", now));

  EnrolmentLimit closed(database.store().pool(), 0, false);
  EXPECT_FALSE(closed.allow("198.51.100.7", now));
  EXPECT_TRUE(closed.allow("127.0.0.1", now));
}

TEST(EnrolmentLimit, ServicesOnOneDatabaseCountASourceTogetherAndForgetItOnceAllIsBack) {
  TemporaryFolder folder;
  const std::string where = fresh_database(folder);
  MemberStore first_store(where);
  MemberStore second_store(where);
  EnrolmentLimit first(first_store.pool(), 2, false);
  EnrolmentLimit second(second_store.pool(), 2, false);
  const std::int64_t start = EnrolmentLimit::now();
  EXPECT_TRUE(first.allow("198.51.100.7", start));
  EXPECT_TRUE(second.allow("198.51.100.7", start));
  EXPECT_FALSE(first.allow("198.51.100.7", start)) << "the other service's enrolment was not counted";
  EXPECT_FALSE(second.allow("198.51.100.7", start + minutes(29)));

  EXPECT_TRUE(first.allow("198.51.100.8", start + minutes(61)));
  const auto remembered = first_store.pool().lease()->prepare("SELECT count(*) FROM enrolment_allowances");
  ASSERT_EQ(remembered->step(), Statement::Step::Row);
  EXPECT_EQ(remembered->integer(0), 1) << "a source with everything back is still kept";
}

}  // namespace
}  // namespace marvok::web_server::testing
