#include "platform/worker_threads.h"

#include <gtest/gtest.h>

#include <atomic>

namespace marvok {
namespace {

using namespace std::chrono_literals;

TEST(WorkerThreadsTest, StoppingWakesASleepingLoopAtOnce) {
  WorkerThreads workers;
  std::atomic<bool> left_loop{false};
  workers.start([&](std::stop_token stop) {
    while (sleep_unless_stopped(stop, 10s)) {
    }
    left_loop = true;
  });
  const auto asked = std::chrono::steady_clock::now();
  workers.stop_all();
  EXPECT_TRUE(left_loop);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 2s);
}

TEST(WorkerThreadsTest, SleepLastsItsPeriodWhenNotStopped) {
  std::stop_source source;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(sleep_unless_stopped(source.get_token(), 30ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

}  // namespace
}  // namespace marvok
