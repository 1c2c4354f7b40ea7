#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>

#include "platform/instance_lock.h"

namespace marvok::platform {
namespace {

class InstanceLockPlaceTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1); }
  QTemporaryDir runtime_;
};

TEST_F(InstanceLockPlaceTest, LockLivesInTheRuntimeDirectory) {
  EXPECT_EQ(instance_lock_path("Marvok"), runtime_.filePath("Marvok.lock").toStdString());
  ::setenv("XDG_RUNTIME_DIR", "/nonexistent-runtime", 1);
  EXPECT_EQ(instance_lock_path("Marvok").rfind("/tmp/Marvok-", 0), 0u);
}

TEST_F(InstanceLockPlaceTest, UnusableLockPlaceFails) {
  ::setenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);
  InstanceLock lock;
  EXPECT_EQ(lock.acquire("no-such-dir/Marvok"), InstanceLock::Outcome::Failed);
}

}  // namespace
}  // namespace marvok::platform
