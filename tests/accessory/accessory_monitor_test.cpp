#include "accessory/accessory_monitor.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "accessory/probe_echo.h"
#include "support/pseudo_terminal.h"

namespace marvok::accessory {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using marvok::testing::PseudoTerminal;

// The accessory on a pseudo-terminal's far end until it is unplugged: it
// echoes while its button is held, and notes when each probe arrives.
struct FakeAccessory {
  explicit FakeAccessory(PseudoTerminal& far_end) : terminal(far_end) {}
  ~FakeAccessory() { unplug(); }
  void unplug() {
    unplugging = true;
    if (thread.joinable()) thread.join();
  }
  std::vector<Clock::time_point> probes() {
    const std::scoped_lock lock(mutex);
    return arrivals;
  }

  PseudoTerminal& terminal;
  std::atomic<TalkValue> button{TalkValue::Released};
  std::atomic<bool> unplugging{false};
  std::mutex mutex;
  std::vector<Clock::time_point> arrivals;
  std::thread thread{[this] {
    std::array<std::uint8_t, 64> bytes{};
    for (std::size_t received = 0; !unplugging;) {
      pollfd watch{terminal.far_end(), POLLIN, 0};
      const ssize_t count = ::poll(&watch, 1, 10) == 1 ? ::read(watch.fd, bytes.data(), bytes.size()) : 0;
      if (count <= 0) continue;
      if (received % ProbePattern.size() == 0) {
        const std::scoped_lock lock(mutex);
        arrivals.push_back(Clock::now());
      }
      received += static_cast<std::size_t>(count);
      if (button == TalkValue::Pressed) (void)::write(watch.fd, bytes.data(), static_cast<std::size_t>(count));
    }
    terminal.unplug();
  }};
};

bool wait_for(const std::function<bool()>& condition) {
  for (const auto deadline = Clock::now() + 3s; !condition(); std::this_thread::sleep_for(5ms))
    if (Clock::now() > deadline) return false;
  return true;
}

// The mean time between the probes that arrived from `since` to `until`.
std::chrono::milliseconds cycle_between(const std::vector<Clock::time_point>& probes, Clock::time_point since,
                                        Clock::time_point until) {
  const auto first = std::lower_bound(probes.begin(), probes.end(), since);
  const auto end = std::upper_bound(first, probes.end(), until);
  if (end - first < 2) return {};
  return std::chrono::duration_cast<std::chrono::milliseconds>((*(end - 1) - *first) / (end - first - 1));
}

// A monitor over the listed ports, started at once, counting its searches
// and noting each change of the state it shows.
struct Watched {
  explicit Watched(std::vector<platform::SerialPortEntry> listed) : ports(std::move(listed)) { monitor.start(); }
  std::vector<AccessoryState> changes() {
    const std::scoped_lock lock(mutex);
    return shown;
  }

  std::vector<platform::SerialPortEntry> ports;
  SessionState state;
  std::atomic<int> searches = 0;
  std::mutex mutex;
  std::vector<AccessoryState> shown;
  AccessoryMonitor monitor{state.talk,
                           state.SecondsLeft,
                           [this](AccessoryState now) {
                             const std::scoped_lock lock(mutex);
                             if (shown.empty() || shown.back() != now) shown.push_back(now);
                           },
                           {[this] {
                             ++searches;
                             return std::optional(ports);
                           }}};
};

TEST(AccessoryMonitorTest, FollowsTheButtonAndReleasesItWhenTheAdapterIsPulled) {
  PseudoTerminal terminal;
  PseudoTerminal silent;
  FakeAccessory accessory(terminal);
  // Only the first adapter listed with a port name is served: the silent line would never show a press.
  Watched watched({{"USB\\vid_0403&pid_6015", silent.port_name()},
                   {"USB\\VID_0403&PID_6015", ""},
                   {"USB\\VID_0403&PID_6015", terminal.port_name()},
                   {"USB\\VID_10C4&PID_EA60", silent.port_name()}});
  SessionState& state = watched.state;
  const auto pedal_becomes = [&](TalkValue value) { return wait_for([&] { return state.talk.pedal() == value; }); };
  ASSERT_TRUE(wait_for([&] { return !watched.changes().empty(); }));
  const auto released_at = Clock::now();
  std::this_thread::sleep_for(2s);

  accessory.button = TalkValue::Pressed;
  ASSERT_TRUE(pedal_becomes(TalkValue::Pressed));
  const auto pressed_at = Clock::now();
  state.SecondsLeft = 7;
  EXPECT_TRUE(wait_for([&] { return state.SecondsLeft.load() == kCountdownSeconds; })) << "at every cycle";
  std::this_thread::sleep_for(1500ms);
  const auto released_cycle = cycle_between(accessory.probes(), released_at, pressed_at);
  const auto pressed_cycle = cycle_between(accessory.probes(), pressed_at, Clock::now());
  std::printf("accessory cycle: released %lld ms, pressed %lld ms\n", static_cast<long long>(released_cycle.count()),
              static_cast<long long>(pressed_cycle.count()));
  // The sleeps and the read's wait set the floors; the ceilings leave room for a busy machine.
  EXPECT_GE(released_cycle, 500ms);
  EXPECT_LT(released_cycle, 1500ms);
  EXPECT_GE(pressed_cycle, 200ms);
  EXPECT_LT(pressed_cycle, released_cycle);

  accessory.button = TalkValue::Released;
  ASSERT_TRUE(pedal_becomes(TalkValue::Released));
  accessory.button = TalkValue::Pressed;
  ASSERT_TRUE(pedal_becomes(TalkValue::Pressed));
  accessory.unplug();
  ASSERT_TRUE(wait_for([&] { return watched.changes().back() == AccessoryState::NoAccessory; }));
  EXPECT_EQ(state.talk.pedal(), TalkValue::Released) << "a pulled adapter must not keep the client transmitting";
  using enum AccessoryState;
  EXPECT_EQ(watched.changes(), (std::vector{Released, Pressed, Released, Pressed, NoAccessory}));

  const auto stopping = Clock::now();
  watched.monitor.stop();
  EXPECT_LT(Clock::now() - stopping, 300ms) << "the pause notices a stop within 100 ms";
}

TEST(AccessoryMonitorTest, SearchesAgainAfterOnePollPeriodWhileAnotherProgramHoldsThePort) {
  PseudoTerminal terminal;
  std::optional<platform::SerialPort> holder = open_accessory_port(terminal.port_name());
  ASSERT_TRUE(holder);
  Watched held({{"USB\\VID_067B&PID_2303", terminal.port_name()}});
  Watched without_adapter({platform::SerialPortEntry{"serial8250", "ttyS0"}});
  std::this_thread::sleep_for(1100ms);
  // Without the two-second pause that follows a search finding no adapter, but without spinning either.
  EXPECT_GE(held.searches, 4);
  EXPECT_LE(held.searches, 7);
  EXPECT_EQ(without_adapter.searches, 1);
  EXPECT_TRUE(held.changes().empty());
  holder.reset();
  EXPECT_TRUE(wait_for([&] { return held.changes() == std::vector{AccessoryState::Released}; }));
}

}  // namespace
}  // namespace marvok::accessory
