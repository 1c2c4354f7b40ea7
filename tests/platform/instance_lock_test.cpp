// What a second holder of the lock sees, the same on every system.
#include "platform/instance_lock.h"

#include <gtest/gtest.h>

#include <utility>

#include "support/private_lock_place.h"

namespace marvok::platform {
namespace {

class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override { marvok::testing::use_private_lock_place(); }
};

TEST_F(InstanceLockTest, SecondHolderIsRefusedUntilTheFirstReleases) {
  InstanceLock first, second;
  EXPECT_EQ(first.acquire("Marvok"), InstanceLock::Outcome::Acquired);
  EXPECT_EQ(second.acquire("Marvok"), InstanceLock::Outcome::HeldElsewhere);
  EXPECT_FALSE(second.held());
  first.release();
  EXPECT_EQ(second.acquire("Marvok"), InstanceLock::Outcome::Acquired);
}

TEST_F(InstanceLockTest, LocksOfOtherNamesDoNotInterfere) {
  InstanceLock marvok, other;
  EXPECT_EQ(marvok.acquire("Marvok"), InstanceLock::Outcome::Acquired);
  EXPECT_EQ(other.acquire("Autre"), InstanceLock::Outcome::Acquired);
}

TEST_F(InstanceLockTest, MovedLockStaysHeldAndDroppingItReleases) {
  InstanceLock probe;
  {
    InstanceLock first;
    ASSERT_EQ(first.acquire("Marvok"), InstanceLock::Outcome::Acquired);
    InstanceLock moved = std::move(first);
    EXPECT_TRUE(moved.held());
    EXPECT_EQ(probe.acquire("Marvok"), InstanceLock::Outcome::HeldElsewhere);
  }
  EXPECT_EQ(probe.acquire("Marvok"), InstanceLock::Outcome::Acquired);
}

}  // namespace
}  // namespace marvok::platform
