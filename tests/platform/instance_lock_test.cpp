#include "platform/instance_lock.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>

namespace marvok::platform {
namespace {

class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1); }
  QTemporaryDir runtime_;
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

TEST_F(InstanceLockTest, LockLivesInTheRuntimeDirectory) {
  EXPECT_EQ(instance_lock_path("Marvok"), runtime_.filePath("Marvok.lock").toStdString());
  ::setenv("XDG_RUNTIME_DIR", "/nonexistent-runtime", 1);
  EXPECT_EQ(instance_lock_path("Marvok").rfind("/tmp/Marvok-", 0), 0u);
}

TEST_F(InstanceLockTest, UnusableLockPlaceFails) {
  ::setenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);
  InstanceLock lock;
  EXPECT_EQ(lock.acquire("no-such-dir/Marvok"), InstanceLock::Outcome::Failed);
}

}  // namespace
}  // namespace marvok::platform
