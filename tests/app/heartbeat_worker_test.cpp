#include "app/heartbeat_worker.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/worker_threads.h"

namespace marvok {
namespace {

using namespace std::chrono_literals;

TEST(HeartbeatWorkerTest, TcpLightAlternatesBlueAndDarkBlue) {
  LedCell tcp{LedColor::Yellow};
  WorkerThreads workers;
  workers.start([&](std::stop_token stop) { run_heartbeat_worker(stop, tcp, 10ms); });
  // Follow the colour changes rather than sampling at fixed times.
  std::vector<LedColor> changes{tcp.load()};
  const auto until = std::chrono::steady_clock::now() + 2s;
  while (changes.size() < 4 && std::chrono::steady_clock::now() < until) {
    if (const LedColor now = tcp.load(); now != changes.back()) changes.push_back(now);
    std::this_thread::sleep_for(1ms);
  }
  workers.stop_all();
  const std::vector<LedColor> expected{LedColor::Yellow, LedColor::Blue, LedColor::DarkBlue, LedColor::Blue};
  EXPECT_EQ(changes, expected);
}

}  // namespace
}  // namespace marvok
