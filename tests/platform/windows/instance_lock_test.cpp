// The single-instance mutex between two processes, and its name.
#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "platform/windows/system_probe_run.h"

namespace marvok::platform {
namespace {

using Outcome = InstanceLock::Outcome;

// Names of this run's own: a running client or another run keeps its lock.
std::string test_name(const char* what) {
  return std::string("MarvokTest-") + what + "-" + std::to_string(GetCurrentProcessId());
}

// What another process gets when it asks for the lock; it then ends
// without releasing what it took.
std::optional<Outcome> outcome_elsewhere(const std::string& name) {
  const std::optional<DWORD> code =
      marvok::testing::run_system_probe(L"lock " + std::wstring(name.begin(), name.end()));
  if (!code || *code > 2) return std::nullopt;
  return static_cast<Outcome>(*code);
}

TEST(InstanceMutexTest, AnotherProcessSeesTheLockTakenForAsLongAsItIsHeld) {
  const std::string name = test_name("between");
  InstanceLock here;
  ASSERT_EQ(here.acquire(name), Outcome::Acquired);
  EXPECT_EQ(outcome_elsewhere(name), Outcome::HeldElsewhere);
  here.release();
  // The other process takes it and ends holding it: its end frees the name.
  EXPECT_EQ(outcome_elsewhere(name), Outcome::Acquired);
  EXPECT_EQ(here.acquire(name), Outcome::Acquired);
  EXPECT_EQ(outcome_elsewhere(name), Outcome::HeldElsewhere);
}

TEST(InstanceMutexTest, TheLockIsTheSessionsMutexOfThatName) {
  EXPECT_EQ(instance_lock_path("Marvok"), "Marvok");
  InstanceLock lock;
  ASSERT_EQ(lock.acquire(test_name("named")), Outcome::Acquired);
  const std::string name = test_name("named");
  HANDLE same = OpenMutexW(SYNCHRONIZE, FALSE, std::wstring(name.begin(), name.end()).c_str());
  EXPECT_NE(same, nullptr);
  if (same) CloseHandle(same);
}

TEST(InstanceMutexTest, UnusableNameFails) {
  // A backslash names a namespace, and this one does not exist.
  for (const char* name : {"NoSuchNamespace\\Marvok", "Global\\Missing\\Marvok"}) {
    InstanceLock lock;
    EXPECT_EQ(lock.acquire(name), Outcome::Failed) << name;
    EXPECT_FALSE(lock.held()) << name;
  }
}

}  // namespace
}  // namespace marvok::platform
