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

// The accessory on a pseudo-terminal's far end: it echoes while its button
// is held, answers noise or nothing while it is not, and notes each probe.
class FakeAccessory {
 public:
  enum class Button { Released, Pressed, Noisy };

  explicit FakeAccessory(PseudoTerminal& terminal) : terminal_(terminal), thread_([this] { serve(); }) {}
  ~FakeAccessory() { unplug(); }
  // Pulled out from under whatever the button is doing.
  void unplug() {
    unplugging_ = true;
    if (thread_.joinable()) thread_.join();
  }
  void set(Button button) { button_ = button; }
  std::vector<Clock::time_point> probes() const {
    const std::scoped_lock lock(mutex_);
    return probes_;
  }

 private:
  void serve() {
    std::array<std::uint8_t, 64> bytes{};
    for (std::size_t received = 0; !unplugging_;) {
      pollfd watch{terminal_.far_end(), POLLIN, 0};
      const ssize_t count = ::poll(&watch, 1, 10) == 1 ? ::read(watch.fd, bytes.data(), bytes.size()) : 0;
      if (count <= 0) continue;
      if (received % ProbePattern.size() == 0) {
        const std::scoped_lock lock(mutex_);
        probes_.push_back(Clock::now());
      }
      received += static_cast<std::size_t>(count);
      if (button_ == Button::Pressed) (void)::write(watch.fd, bytes.data(), static_cast<std::size_t>(count));
      if (button_ == Button::Noisy) (void)::write(watch.fd, "ABCDEFGH", 8);
    }
    terminal_.unplug();
  }

  PseudoTerminal& terminal_;
  std::atomic<Button> button_{Button::Released};
  std::atomic<bool> unplugging_{false};
  mutable std::mutex mutex_;
  std::vector<Clock::time_point> probes_;
  std::thread thread_;
};

bool wait_for(const std::function<bool()>& condition) {
  for (const auto deadline = Clock::now() + 3s; !condition(); std::this_thread::sleep_for(5ms))
    if (Clock::now() > deadline) return false;
  return true;
}

// The median time between the probes that arrived from `since` to `until`.
std::chrono::milliseconds cycle_between(const std::vector<Clock::time_point>& probes, Clock::time_point since,
                                        Clock::time_point until) {
  std::vector<Clock::duration> gaps;
  for (std::size_t i = 1; i < probes.size(); ++i)
    if (probes[i - 1] >= since && probes[i] <= until) gaps.push_back(probes[i] - probes[i - 1]);
  if (gaps.empty()) return {};
  std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
  return std::chrono::duration_cast<std::chrono::milliseconds>(gaps[gaps.size() / 2]);
}

// A monitor over the ports a test lists (set before it starts), opening them for real.
class AccessoryMonitorTest : public ::testing::Test {
 protected:
  // The states in the order shown, each change once.
  std::vector<AccessoryState> changes() {
    const std::scoped_lock lock(mutex);
    std::vector<AccessoryState> all = states;
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
  }
  SerialAccess listed_ports() {
    SerialAccess serial;
    serial.list_ports = [this] {
      ++searches;
      return std::optional(ports);
    };
    return serial;
  }

  SessionState state;
  std::vector<platform::SerialPortEntry> ports;
  std::atomic<int> searches = 0;
  std::mutex mutex;
  std::vector<AccessoryState> states;
  AccessoryMonitor monitor{state,
                           [this](AccessoryState shown) {
                             const std::scoped_lock lock(mutex);
                             states.push_back(shown);
                           },
                           listed_ports()};
};

TEST_F(AccessoryMonitorTest, FollowsTheButtonAndReleasesItWhenTheAdapterIsPulled) {
  PseudoTerminal terminal;
  PseudoTerminal other;
  FakeAccessory accessory(terminal);
  FakeAccessory bystander(other);
  ports = {{"USB\\vid_0403&pid_6015", other.port_name()},
           {"USB\\VID_0403&PID_6015", ""},
           {"USB\\VID_0403&PID_6015", terminal.port_name()},
           {"USB\\VID_10C4&PID_EA60", other.port_name()}};
  const auto pedal_is = [this](TalkValue value) { return [this, value] { return state.talk.pedal() == value; }; };
  monitor.start();
  ASSERT_TRUE(wait_for([&] { return !changes().empty(); }));
  const auto released_at = Clock::now();
  std::this_thread::sleep_for(2s);

  accessory.set(FakeAccessory::Button::Pressed);
  ASSERT_TRUE(wait_for(pedal_is(TalkValue::Pressed)));
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

  accessory.set(FakeAccessory::Button::Noisy);
  ASSERT_TRUE(wait_for(pedal_is(TalkValue::Released)));
  accessory.set(FakeAccessory::Button::Pressed);
  ASSERT_TRUE(wait_for(pedal_is(TalkValue::Pressed)));
  accessory.unplug();
  ASSERT_TRUE(wait_for([&] { return changes().back() == AccessoryState::NoAccessory; }));
  EXPECT_EQ(state.talk.pedal(), TalkValue::Released) << "a pulled adapter must not keep the client transmitting";
  using enum AccessoryState;
  EXPECT_EQ(changes(), (std::vector{Released, Pressed, Released, Pressed, NoAccessory}));
  EXPECT_TRUE(bystander.probes().empty()) << "only the first adapter listed with a port name is served";

  const auto stopping = Clock::now();
  monitor.stop();
  EXPECT_LT(Clock::now() - stopping, 300ms) << "the pause notices a stop within 100 ms";
}

TEST_F(AccessoryMonitorTest, APortHeldByAnotherProgramIsSearchedForAgainAfterOnePollPeriod) {
  PseudoTerminal terminal;
  std::optional<platform::SerialPort> holder = open_accessory_port(terminal.port_name());
  ASSERT_TRUE(holder);
  ports = {{"USB\\VID_067B&PID_2303", terminal.port_name()}};
  monitor.start();
  std::this_thread::sleep_for(1100ms);
  // Without the two-second pause, but without spinning either.
  EXPECT_GE(searches, 4);
  EXPECT_LE(searches, 7);
  EXPECT_TRUE(changes().empty());
  holder.reset();
  EXPECT_TRUE(wait_for([&] { return changes() == std::vector{AccessoryState::Released}; }));
  monitor.stop();
}

TEST_F(AccessoryMonitorTest, WithoutAnAdapterItSearchesEveryTwoSeconds) {
  ports = {{"serial8250", "ttyS0"}};
  monitor.start();
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(searches, 1);
  EXPECT_TRUE(changes().empty());
}

}  // namespace
}  // namespace marvok::accessory
