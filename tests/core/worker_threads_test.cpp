#include "core/worker_threads.h"

#include <gtest/gtest.h>

#include <atomic>

#include "core/heartbeat_worker.h"

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

TEST(HeartbeatWorkerTest, TcpLightAlternatesBlueAndDarkBlue) {
  LedCell tcp{static_cast<std::int32_t>(LedColor::Yellow)};
  WorkerThreads workers;
  workers.start([&](std::stop_token stop) { run_heartbeat_worker(stop, tcp, 10ms); });
  // Follow the colour changes rather than sampling at fixed times.
  std::vector<std::int32_t> changes{tcp.load()};
  const auto until = std::chrono::steady_clock::now() + 2s;
  while (changes.size() < 4 && std::chrono::steady_clock::now() < until) {
    if (const std::int32_t now = tcp.load(); now != changes.back()) changes.push_back(now);
    std::this_thread::sleep_for(1ms);
  }
  workers.stop_all();
  const std::vector<std::int32_t> expected{static_cast<int>(LedColor::Yellow), static_cast<int>(LedColor::Blue),
                                           static_cast<int>(LedColor::DarkBlue), static_cast<int>(LedColor::Blue)};
  EXPECT_EQ(changes, expected);
}

}  // namespace
}  // namespace marvok
