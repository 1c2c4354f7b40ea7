// The half-duplex audio worker on the test sound server's null devices: a
// tone fed to the microphone comes out as blocks in order, queued blocks are
// heard on the speaker, a talk press turns playback into capture, and both
// come back after the sound server restarts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "audio/audio_worker.h"
#include "platform/master_volume.h"
#include "platform/worker_threads.h"
#include "state/session_state.h"
#include "support/sound_probe.h"

namespace marvok {
namespace {

using namespace std::chrono_literals;
using testing::ToneFeeder;

VoiceDevices sound_server_devices() { return {platform::open_output_device, platform::open_capture_device}; }

std::array<std::uint8_t, kVoiceBlockBytes> tone_block(double frequency_hz, long& n) {
  std::array<std::uint8_t, kVoiceBlockBytes> block{};
  for (std::size_t i = 0; i < block.size(); i += 4, ++n) {
    const auto sample =
        static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * frequency_hz * static_cast<double>(n) / 8000.0));
    const auto bits = static_cast<std::uint16_t>(sample);
    block[i] = block[i + 2] = static_cast<std::uint8_t>(bits & 0xFF);
    block[i + 1] = block[i + 3] = static_cast<std::uint8_t>(bits >> 8);
  }
  return block;
}

// From the first loud sample to the last: the tone, without the silence around it.
std::vector<std::int16_t> loud_part(const std::vector<std::int16_t>& heard) {
  std::vector<std::int16_t> loud;
  for (std::int16_t s : heard)
    if (!loud.empty() || std::abs(s) > 3000) loud.push_back(s);
  while (!loud.empty() && std::abs(loud.back()) < 3000) loud.pop_back();
  return loud;
}

class AudioEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.talk.set_key(TalkValue::Released);
    state_.talk.set_pedal(TalkValue::Released);
    state_.devices.SelectedInputDevice = -1;
    queue_.reset();
    // The tones are measured at full level, whatever another run left behind.
    microphone_level_ = platform::get_master_level(platform::AudioEndpoint::DefaultCapture);
    platform::set_master_level(platform::AudioEndpoint::DefaultCapture, 1.0f);
    platform::set_master_level(platform::AudioEndpoint::DefaultRender, 1.0f);
  }
  void TearDown() override {
    workers_.stop_all();
    state_.talk.set_key(TalkValue::Released);
    if (microphone_level_) platform::set_master_level(platform::AudioEndpoint::DefaultCapture, *microphone_level_);
  }

  void start_worker() {
    workers_.start([this](std::stop_token stop) {
      worker_.run(stop);
      ended_ = true;
    });
  }

  // The left channel of every block sent so far, in order.
  std::vector<std::int16_t> sent_left_channel() {
    std::lock_guard lock(mutex_);
    std::vector<std::int16_t> left;
    for (const auto& block : sent_) {
      for (std::size_t i = 0; i < block.size(); i += 4)
        left.push_back(static_cast<std::int16_t>(block[i] | block[i + 1] << 8));
    }
    return left;
  }

  std::size_t sent_count() {
    std::lock_guard lock(mutex_);
    return sent_.size();
  }

  SessionState state_;
  std::atomic<bool> ended_ = false;
  VoiceBlockQueue queue_;
  LevelMeterState meters_;
  std::optional<float> microphone_level_;
  std::mutex mutex_;
  std::vector<std::array<std::uint8_t, kVoiceBlockBytes>> sent_;
  std::vector<VoiceDevice> failures_;
  AudioWorker worker_{state_,
                      queue_,
                      meters_,
                      sound_server_devices(),
                      [this](std::span<const std::uint8_t, kVoiceBlockBytes> block) {
                        std::lock_guard lock(mutex_);
                        sent_.emplace_back();
                        std::copy(block.begin(), block.end(), sent_.back().begin());
                      },
                      [this](VoiceDevice device, int) { failures_.push_back(device); }};
  WorkerThreads workers_;
};

TEST_F(AudioEngineTest, MicrophoneToneIsSentAsBlocksInRecordingOrder) {
  ToneFeeder tone("mic", 1000.0);
  ASSERT_TRUE(tone.running());
  std::this_thread::sleep_for(300ms);
  state_.talk.set_key(TalkValue::Pressed);
  start_worker();
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(state_.lights.TxRxLed.load(), LedColor::Red);
  state_.talk.set_key(TalkValue::Released);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(state_.lights.TxRxLed.load(), LedColor::Blue);

  // About 32 blocks a second once the playback stage has let go.
  EXPECT_GE(sent_count(), 30u);
  EXPECT_LE(sent_count(), 52u);
  const auto left = sent_left_channel();
  EXPECT_NEAR(testing::zero_crossing_rate(left, 8000), 2000.0, 100.0);
  EXPECT_GT(testing::peak(left), 8000);
  // A clean tone across block boundaries: blocks out of order or lost would
  // break the regular spacing of its zero crossings.
  std::size_t last = 0;
  int irregular = 0;
  for (std::size_t i = 1; i < left.size(); ++i) {
    if ((left[i - 1] < 0) == (left[i] < 0)) continue;
    if (last != 0 && (i - last < 3 || i - last > 5)) ++irregular;
    last = i;
  }
  EXPECT_LE(irregular, 2);  // the first block may start mid-way through the feed
  EXPECT_TRUE(failures_.empty());
}

TEST_F(AudioEngineTest, TalkPressShorterThanABlockSendsNothing) {
  state_.talk.set_key(TalkValue::Pressed);
  workers_.start([this](std::stop_token stop) { worker_.run_transmission(stop); });
  std::this_thread::sleep_for(20ms);
  state_.talk.set_key(TalkValue::Released);
  workers_.stop_all();
  EXPECT_EQ(sent_count(), 0u);
  EXPECT_TRUE(failures_.empty());
}

TEST_F(AudioEngineTest, QueuedBlocksAreHeardOnTheSpeaker) {
  long n = 0;
  for (int i = 0; i < 12; ++i) queue_.queue_voice_block(tone_block(440.0, n), Attenuation::None);
  start_worker();
  const auto heard = testing::record("spk.monitor", 1500ms);
  ASSERT_FALSE(heard.empty());
  EXPECT_GT(testing::peak(heard), 6000);
  const auto loud = loud_part(heard);
  ASSERT_GT(loud.size(), 2000u);
  EXPECT_NEAR(testing::zero_crossing_rate(loud, 8000), 880.0, 90.0);
  EXPECT_TRUE(failures_.empty());
}

TEST_F(AudioEngineTest, TalkPressStopsPlaybackAndWhatArrivesMeanwhileIsHeardAfter) {
  start_worker();
  std::this_thread::sleep_for(500ms);
  const auto pressed = std::chrono::steady_clock::now();
  state_.talk.set_key(TalkValue::Pressed);
  while (state_.lights.TxRxLed.load() != LedColor::Red && std::chrono::steady_clock::now() - pressed < 2s)
    std::this_thread::sleep_for(2ms);
  const auto switched = std::chrono::steady_clock::now() - pressed;
  // One buffer to finish queuing, then both buffers to finish playing.
  EXPECT_LT(switched, 500ms);

  long n = 0;
  for (int i = 0; i < 8; ++i) queue_.queue_voice_block(tone_block(440.0, n), Attenuation::None);
  state_.talk.set_key(TalkValue::Released);
  const auto heard = testing::record("spk.monitor", 1200ms);
  EXPECT_GT(testing::peak(heard), 6000);
  EXPECT_TRUE(failures_.empty());
}

extern "C" char** environ;

// A sound server of this test's own, set up by the run's script with the same
// devices, which the test stops and starts again at the same address.
class RestartableSoundServer {
 public:
  RestartableSoundServer() {
    int commands[2];
    int replies[2];
    if (::pipe2(commands, O_CLOEXEC) != 0 || ::pipe2(replies, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, commands[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, replies[1], STDOUT_FILENO);
    std::string script = std::string("source ") + MARVOK_SERVICES_SCRIPT + " && serve_sound_server";
    std::array<char*, 4> argv = {const_cast<char*>("bash"), const_cast<char*>("-c"), script.data(), nullptr};
    if (posix_spawnp(&pid_, "bash", &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(commands[0]);
    ::close(replies[1]);
    commands_ = ::fdopen(commands[1], "w");
    replies_ = ::fdopen(replies[0], "r");
    address_ = ask("start");
  }
  ~RestartableSoundServer() {
    if (commands_) std::fclose(commands_);  // the script stops everything at the end of its input
    if (pid_) ::waitpid(pid_, nullptr, 0);
    if (replies_) std::fclose(replies_);
  }
  RestartableSoundServer(const RestartableSoundServer&) = delete;
  RestartableSoundServer& operator=(const RestartableSoundServer&) = delete;

  const std::string& address() const { return address_; }
  bool stop() { return ask("stop") == "stopped"; }
  bool start() { return ask("start") == address_; }

 private:
  std::string ask(const char* command) {
    std::array<char, 512> line{};
    if (!commands_ || !replies_ || std::fprintf(commands_, "%s\n", command) < 0 || std::fflush(commands_) != 0 ||
        !std::fgets(line.data(), static_cast<int>(line.size()), replies_))
      return {};
    std::string reply = line.data();
    if (reply.ends_with('\n')) reply.pop_back();
    return reply;
  }

  pid_t pid_ = 0;
  std::FILE* commands_ = nullptr;
  std::FILE* replies_ = nullptr;
  std::string address_;
};

// The worker on a server of its own, which the member's PC restarts.
class SoundServerRestartTest : public AudioEngineTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.address().starts_with("unix:"));
    if (const char* current = std::getenv("PULSE_SERVER")) saved_address_ = current;
    ::setenv("PULSE_SERVER", server_.address().c_str(), 1);
    AudioEngineTest::SetUp();
  }
  void TearDown() override {
    AudioEngineTest::TearDown();
    if (saved_address_) {
      ::setenv("PULSE_SERVER", saved_address_->c_str(), 1);
    } else {
      ::unsetenv("PULSE_SERVER");
    }
  }

  RestartableSoundServer server_;
  std::optional<std::string> saved_address_;
};

TEST_F(SoundServerRestartTest, ListeningAndTalkingComeBackAfterARestart) {
  start_worker();
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(server_.stop());
  // The output is found lost within 2 s; a talk press meanwhile has nothing to record.
  std::this_thread::sleep_for(2500ms);
  state_.talk.set_key(TalkValue::Pressed);
  std::this_thread::sleep_for(1000ms);
  EXPECT_TRUE(failures_.empty());
  EXPECT_FALSE(ended_);
  EXPECT_EQ(sent_count(), 0u);

  ASSERT_TRUE(server_.start());
  {
    ToneFeeder tone("mic", 1000.0);
    ASSERT_TRUE(tone.running());
    // The next try comes within 2 s, then two seconds of speech: a fresh
    // server may hold the tone back for a moment after the recording starts.
    const auto until = std::chrono::steady_clock::now() + 7s;
    while (sent_count() < 72 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(20ms);
  }
  state_.talk.set_key(TalkValue::Released);
  ASSERT_GE(sent_count(), 72u) << "talking did not come back";
  auto left = sent_left_channel();
  left.erase(left.begin(), left.end() - 32 * 250);  // the last second, well into the tone
  EXPECT_NEAR(testing::zero_crossing_rate(left, 8000), 2000.0, 100.0);

  long n = 0;
  for (int i = 0; i < 12; ++i) queue_.queue_voice_block(tone_block(440.0, n), Attenuation::None);
  const auto heard = testing::record("spk.monitor", 1500ms);
  EXPECT_GT(testing::peak(heard), 6000) << "listening did not come back";
  EXPECT_NEAR(testing::zero_crossing_rate(loud_part(heard), 8000), 880.0, 90.0);
  EXPECT_TRUE(failures_.empty());
}

TEST_F(AudioEngineTest, MissingInputDeviceIsReportedAtTheTalkPress) {
  state_.devices.SelectedInputDevice = 99;
  start_worker();
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(failures_.empty());
  state_.talk.set_key(TalkValue::Pressed);
  std::this_thread::sleep_for(800ms);
  EXPECT_TRUE(ended_);  // on its own, before any stop
  workers_.stop_all();
  EXPECT_EQ(failures_, std::vector<VoiceDevice>{VoiceDevice::Capture});
}

}  // namespace
}  // namespace marvok
