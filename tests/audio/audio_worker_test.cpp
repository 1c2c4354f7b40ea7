// The audio worker with devices that the test makes fail: a lost device is
// opened again quietly, less and less often, while only a device that cannot
// be opened at all ends the client.
#include "audio/audio_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/worker_threads.h"

namespace marvok {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Plays each buffer in 2 ms, and fails while the output is switched off.
class FakeOutput final : public platform::OutputDevice {
 public:
  FakeOutput(const std::atomic<bool>& works, std::atomic<int>& played, std::function<void()> done)
      : works_(works), played_(played), done_(std::move(done)) {}
  bool write(std::span<const std::uint8_t, platform::kOutputBufferBytes>) override {
    std::this_thread::sleep_for(2ms);
    if (!works_) return false;
    ++played_;
    done_();
    return true;
  }

 private:
  const std::atomic<bool>& works_;
  std::atomic<int>& played_;
  std::function<void()> done_;
};

// Every queued buffer is full by the time the worker looks.
class FakeCapture final : public platform::CaptureDevice {
 public:
  void add_buffer(int slot, std::span<std::uint8_t, platform::kCaptureBufferBytes>) override {
    queued_.at(static_cast<std::size_t>(slot)) = true;
  }
  bool is_done(int slot) const override { return queued_.at(static_cast<std::size_t>(slot)); }
  void start() override {}
  void stop_and_reset() override { queued_ = {}; }

 private:
  std::array<bool, 3> queued_{};
};

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 3s) {
  for (const auto until = Clock::now() + timeout; !condition(); std::this_thread::sleep_for(2ms))
    if (Clock::now() > until) return false;
  return true;
}

class AudioWorkerTest : public ::testing::Test {
 protected:
  explicit AudioWorkerTest(ReopenPause pause = ReopenPause(20ms, 80ms)) : worker_(make_worker(pause)) {}

  AudioWorker make_worker(ReopenPause pause) {
    VoiceDevices devices{
        [this](std::function<void()> done, platform::DeviceError& error) -> std::unique_ptr<platform::OutputDevice> {
          const std::lock_guard lock(mutex_);
          output_opens_.push_back(Clock::now());
          if (output_works_) return std::make_unique<FakeOutput>(output_works_, played_, done);
          error = {6, platform::ServerReach::Unreachable};
          return nullptr;
        },
        [this](int, platform::DeviceError& error) -> std::unique_ptr<platform::CaptureDevice> {
          if (!capture_refused_.load()) return std::make_unique<FakeCapture>();
          error = {2, *capture_refused_.load()};
          return nullptr;
        }};
    return AudioWorker(
        state_, queue_, meters_, std::move(devices), [this](auto) { ++recorded_; },
        [this](VoiceDevice device, int) {
          const std::lock_guard lock(mutex_);
          failures_.push_back(device);
        },
        pause);
  }
  void start() {
    workers_.start([this](std::stop_token stop) { worker_.run(stop); });
  }
  bool ended() const { return state_.run.AudioRunning == AudioRunState::Ended; }
  std::size_t open_count() {
    const std::lock_guard lock(mutex_);
    return output_opens_.size();
  }
  std::vector<VoiceDevice> failures() {
    const std::lock_guard lock(mutex_);
    return failures_;
  }

  SessionState state_;
  VoiceBlockQueue queue_;
  LevelMeterState meters_;
  std::atomic<bool> output_works_{true};
  std::atomic<std::optional<platform::ServerReach>> capture_refused_{};
  std::atomic<int> played_{0};
  std::atomic<int> recorded_{0};
  std::mutex mutex_;
  std::vector<Clock::time_point> output_opens_;
  std::vector<VoiceDevice> failures_;
  AudioWorker worker_;
  WorkerThreads workers_;
};

TEST_F(AudioWorkerTest, LostOutputIsOpenedAgainQuietlyWithGrowingPauses) {
  start();
  ASSERT_TRUE(wait_until([&] { return played_ > 3; }));
  output_works_ = false;
  ASSERT_TRUE(wait_until([&] { return open_count() >= 7; }));
  EXPECT_TRUE(failures().empty());
  EXPECT_EQ(state_.run.AudioRunning.load(), AudioRunState::Running);
  {
    const std::lock_guard lock(mutex_);
    const std::vector<std::chrono::milliseconds> pauses = {20ms, 40ms, 80ms, 80ms, 80ms};
    for (std::size_t i = 0; i < pauses.size(); ++i) {
      const auto gap = output_opens_[i + 2] - output_opens_[i + 1];
      EXPECT_GE(gap, pauses[i]) << "pause " << i;
      EXPECT_LT(gap, pauses[i] + 150ms) << "pause " << i;
    }
  }
  output_works_ = true;
  const int played = played_;
  EXPECT_TRUE(wait_until([&] { return played_ > played + 3; }, 500ms)) << "playback did not resume";
  EXPECT_TRUE(failures().empty());
}

TEST_F(AudioWorkerTest, OutputThatCannotOpenAtStartIsReported) {
  output_works_ = false;
  start();
  ASSERT_TRUE(wait_until([&] { return ended(); }));
  EXPECT_EQ(failures(), std::vector<VoiceDevice>{VoiceDevice::Playback});
  EXPECT_EQ(open_count(), 1u);
}

TEST_F(AudioWorkerTest, MicrophoneThatCannotOpenAtATalkPress) {
  // A press while the server restarts waits for it; a microphone that the
  // server refuses ends the client.
  for (const auto reach : {platform::ServerReach::Unreachable, platform::ServerReach::Reached}) {
    const bool refused = reach == platform::ServerReach::Reached;
    SCOPED_TRACE(refused ? "refused" : "unreachable");
    capture_refused_ = reach;
    recorded_ = 0;
    start();
    state_.talk.set_key(TalkValue::Pressed);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(failures().size(), refused ? 1u : 0u);
    EXPECT_EQ(ended(), refused);
    capture_refused_ = std::nullopt;
    EXPECT_EQ(wait_until([&] { return recorded_ > 3; }, 500ms), !refused) << "recording once the server is back";
    state_.talk.set_key(TalkValue::Released);
    workers_.stop_all();
  }
}

class SlowReopenTest : public AudioWorkerTest {
 protected:
  SlowReopenTest() : AudioWorkerTest(ReopenPause(10s, 10s)) {}
};

TEST_F(SlowReopenTest, EndingTheClientCutsTheWaitShort) {
  for (const bool by_stop_request : {true, false}) {
    SCOPED_TRACE(by_stop_request ? "stop request" : "AudioRunning dropped");
    output_works_ = true;
    start();
    ASSERT_TRUE(wait_until([&] { return played_ > 1; }));
    output_works_ = false;
    std::this_thread::sleep_for(100ms);  // lost, and waiting to try again
    const auto asked = Clock::now();
    if (by_stop_request) {
      workers_.stop_all();
    } else {
      state_.run.AudioRunning = AudioRunState::Stopped;
    }
    ASSERT_TRUE(wait_until([&] { return ended(); }));
    EXPECT_LT(Clock::now() - asked, 200ms);
    workers_.stop_all();
  }
  EXPECT_TRUE(failures().empty());
}

}  // namespace
}  // namespace marvok
