#include "app/heartbeat_worker.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/worker_threads.h"

namespace marvok {
namespace {

using namespace std::chrono_literals;

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
