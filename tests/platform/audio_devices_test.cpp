// These tests play and record through the PulseAudio server that the test run
// starts: the default microphone is the monitor of the null sink "mic", and
// what the default output plays can be heard on "spk.monitor".
#include "platform/audio_devices.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <numbers>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace marvok::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kProbeRate = 8000;

double elapsed_ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

double shortest_gap(const std::vector<Clock::time_point>& times) {
  double shortest = 1e9;
  for (std::size_t i = 1; i < times.size(); ++i) shortest = std::min(shortest, elapsed_ms(times[i - 1], times[i]));
  return shortest;
}

double longest_gap(const std::vector<Clock::time_point>& times) {
  double longest = 0;
  for (std::size_t i = 1; i < times.size(); ++i) longest = std::max(longest, elapsed_ms(times[i - 1], times[i]));
  return longest;
}

// Points the client library at another server for one test.
class SoundServerAddress {
 public:
  explicit SoundServerAddress(const std::string& address) {
    if (const char* current = std::getenv("PULSE_SERVER")) saved_ = current;
    ::setenv("PULSE_SERVER", address.c_str(), 1);
  }
  ~SoundServerAddress() {
    if (saved_.empty()) {
      ::unsetenv("PULSE_SERVER");
    } else {
      ::setenv("PULSE_SERVER", saved_.c_str(), 1);
    }
  }
  SoundServerAddress(const SoundServerAddress&) = delete;
  SoundServerAddress& operator=(const SoundServerAddress&) = delete;

 private:
  std::string saved_;
};

struct SimpleDeleter {
  void operator()(pa_simple* stream) const { pa_simple_free(stream); }
};
using SimpleStream = std::unique_ptr<pa_simple, SimpleDeleter>;

// A stereo 16-bit stream at 8000 Hz to a sink or from a source; `buffer_bytes`
// is the server's buffer for playing, and recording is taken in short parts.
SimpleStream open_probe(pa_stream_direction_t direction, const char* device, std::uint32_t buffer_bytes) {
  pa_sample_spec format{};
  format.format = PA_SAMPLE_S16LE;
  format.rate = kProbeRate;
  format.channels = 2;
  pa_buffer_attr buffering{};
  buffering.maxlength = static_cast<std::uint32_t>(-1);
  buffering.tlength = buffer_bytes;
  buffering.prebuf = static_cast<std::uint32_t>(-1);
  buffering.minreq = static_cast<std::uint32_t>(-1);
  buffering.fragsize = 400;
  int error = 0;
  return SimpleStream(
      pa_simple_new(nullptr, "Marvok test", direction, device, "Probe", &format, nullptr, &buffering, &error));
}

// Plays a 1 kHz tone into the sink behind the microphone until destroyed.
// Its level starts low and rises steadily, so that the order of recorded
// blocks shows in their levels. Half a second of buffer in the server keeps
// the tone whole when the machine is busy.
class MicrophoneFeed {
 public:
  MicrophoneFeed() : stream_(open_probe(PA_STREAM_PLAYBACK, "mic", 16000)) {
    if (!stream_) return;
    thread_ = std::jthread([this](std::stop_token stop) {
      std::array<std::int16_t, 320> chunk{};
      long frame = 0;
      int error = 0;
      while (!stop.stop_requested()) {
        for (std::size_t i = 0; i < chunk.size(); i += 2, ++frame) {
          const double seconds = static_cast<double>(frame) / kProbeRate;
          const double level = std::min(2000.0 + 6000.0 * seconds, 30000.0);
          const auto sample = static_cast<std::int16_t>(level * std::sin(2 * std::numbers::pi * 1000.0 * seconds));
          chunk[i] = chunk[i + 1] = sample;
        }
        if (pa_simple_write(stream_.get(), chunk.data(), sizeof chunk, &error) < 0) return;
      }
    });
    // The tests record from the first block on: the tone must be through.
    std::this_thread::sleep_for(milliseconds(300));
  }
  bool running() const { return stream_ != nullptr; }

 private:
  SimpleStream stream_;
  std::jthread thread_;
};

// Records the left channel of the speaker's monitor until stopped.
class SpeakerRecording {
 public:
  SpeakerRecording() : stream_(open_probe(PA_STREAM_RECORD, "spk.monitor", static_cast<std::uint32_t>(-1))) {
    if (!stream_) return;
    thread_ = std::jthread([this](std::stop_token stop) {
      std::array<std::int16_t, 200> chunk{};
      int error = 0;
      while (!stop.stop_requested()) {
        if (pa_simple_read(stream_.get(), chunk.data(), sizeof chunk, &error) < 0) return;
        const std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < chunk.size(); i += 2) samples_.push_back(chunk[i]);
      }
    });
  }
  bool running() const { return stream_ != nullptr; }

  std::vector<std::int16_t> stop() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
    const std::lock_guard lock(mutex_);
    return samples_;
  }

 private:
  SimpleStream stream_;
  std::mutex mutex_;
  std::vector<std::int16_t> samples_;
  std::jthread thread_;
};

// The left channel of interleaved 16-bit stereo bytes.
std::vector<std::int16_t> left_channel(std::span<const std::uint8_t> bytes) {
  std::vector<std::int16_t> samples(bytes.size() / 4);
  for (std::size_t i = 0; i < samples.size(); ++i) std::memcpy(&samples[i], &bytes[4 * i], sizeof(std::int16_t));
  return samples;
}

double rms(std::span<const std::int16_t> samples) {
  double sum = 0;
  for (const std::int16_t sample : samples) sum += static_cast<double>(sample) * sample;
  return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

// Twice the frequency of a clean tone.
double zero_crossings_per_second(std::span<const std::int16_t> samples, int rate) {
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i)
    if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
  return samples.size() < 2 ? 0 : crossings * static_cast<double>(rate) / static_cast<double>(samples.size() - 1);
}

// The 50 ms stretches of a recording that carry a tone, and their frequency.
struct ToneFound {
  int windows = 0;
  double frequency_hz = 0;
};

ToneFound find_tone(const std::vector<std::int16_t>& samples, double min_level) {
  constexpr std::size_t kWindow = kProbeRate / 20;
  ToneFound found;
  double crossing_rates = 0;
  for (std::size_t at = 0; at + kWindow <= samples.size(); at += kWindow) {
    const std::span<const std::int16_t> window(samples.data() + at, kWindow);
    if (rms(window) < min_level) continue;
    ++found.windows;
    crossing_rates += zero_crossings_per_second(window, kProbeRate);
  }
  if (found.windows > 0) found.frequency_hz = crossing_rates / found.windows / 2;
  return found;
}

std::array<std::uint8_t, kOutputBufferBytes> voice_tone(double frequency_hz, double level, long& frame) {
  std::array<std::uint8_t, kOutputBufferBytes> buffer{};
  for (std::size_t at = 0; at < buffer.size(); at += 4, ++frame) {
    const double seconds = static_cast<double>(frame) / kVoiceFramesPerSecond;
    const auto sample = static_cast<std::int16_t>(level * std::sin(2 * std::numbers::pi * frequency_hz * seconds));
    std::memcpy(&buffer[at], &sample, sizeof sample);
    std::memcpy(&buffer[at + 2], &sample, sizeof sample);
  }
  return buffer;
}

using CaptureArea = std::array<std::uint8_t, kCaptureBufferBytes>;

// Records with the three buffers handed back in turn, as the audio worker
// does, and keeps every finished block with the time it was seen.
struct CapturedBlocks {
  std::vector<CaptureArea> blocks;
  std::vector<Clock::time_point> times;
  int out_of_order = 0;
};

CapturedBlocks capture_blocks(CaptureDevice& device, int count) {
  std::array<CaptureArea, 3> areas{};
  for (int slot = 0; slot < 3; ++slot) device.add_buffer(slot, areas[static_cast<std::size_t>(slot)]);
  device.start();
  CapturedBlocks captured;
  int next = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (static_cast<int>(captured.blocks.size()) < count && Clock::now() < deadline) {
    if (device.is_done(next)) {
      captured.times.push_back(Clock::now());
      captured.blocks.push_back(areas[static_cast<std::size_t>(next)]);
      device.add_buffer(next, areas[static_cast<std::size_t>(next)]);
      next = (next + 1) % 3;
    } else if (device.is_done((next + 1) % 3) || device.is_done((next + 2) % 3)) {
      ++captured.out_of_order;
    }
    std::this_thread::sleep_for(milliseconds(1));
  }
  device.stop_and_reset();
  return captured;
}

TEST(CaptureDeviceTest, MicrophoneToneArrivesInOrderedBlocks) {
  MicrophoneFeed feed;
  ASSERT_TRUE(feed.running());
  DeviceError error;
  const std::unique_ptr<CaptureDevice> device = open_capture_device(-1, error);
  ASSERT_TRUE(device) << "error " << error.code;

  const CapturedBlocks captured = capture_blocks(*device, 48);
  ASSERT_EQ(captured.blocks.size(), 48u);
  EXPECT_EQ(captured.out_of_order, 0);

  double previous_level = 0;
  int tone_blocks = 0;
  for (std::size_t i = 0; i < captured.blocks.size(); ++i) {
    const std::vector<std::int16_t> samples = left_channel(captured.blocks[i]);
    const double level = rms(samples);
    if (level < 1000) continue;  // The tone is not through yet.
    ++tone_blocks;
    EXPECT_NEAR(zero_crossings_per_second(samples, kVoiceFramesPerSecond) / 2, 1000.0, 100.0) << "block " << i;
    // The feed only ever gets louder: a block out of order would be quieter.
    EXPECT_GE(level, previous_level * 0.99) << "block " << i;
    previous_level = level;
  }
  EXPECT_GE(tone_blocks, 40);
}

TEST(CaptureDeviceTest, BlocksCompleteEvery31Milliseconds) {
  DeviceError error;
  const std::unique_ptr<CaptureDevice> device = open_capture_device(-1, error);
  ASSERT_TRUE(device) << "error " << error.code;

  const CapturedBlocks captured = capture_blocks(*device, 60);
  ASSERT_EQ(captured.blocks.size(), 60u);
  const int in_one_second =
      static_cast<int>(std::count_if(captured.times.begin(), captured.times.end(), [&](Clock::time_point time) {
        return time - captured.times.front() < std::chrono::seconds(1);
      }));
  EXPECT_GE(in_one_second, 25);
  EXPECT_LE(in_one_second, 40);
  const double spacing = elapsed_ms(captured.times.front(), captured.times.back()) / 59;
  std::cout << "capture: " << in_one_second << " blocks in the first second, " << spacing << " ms apart on average"
            << " (" << shortest_gap(captured.times) << " to " << longest_gap(captured.times) << ")\n";
  EXPECT_NEAR(spacing, 31.25, 5.0);
}

TEST(CaptureDeviceTest, NothingIsRecordedBeforeStartOrAfterReset) {
  MicrophoneFeed feed;
  ASSERT_TRUE(feed.running());
  DeviceError error;
  const std::unique_ptr<CaptureDevice> device = open_capture_device(-1, error);
  ASSERT_TRUE(device) << "error " << error.code;
  const auto none_done = [&device] { return !device->is_done(0) && !device->is_done(1) && !device->is_done(2); };

  std::array<CaptureArea, 3> areas{};
  for (int slot = 0; slot < 3; ++slot) device->add_buffer(slot, areas[static_cast<std::size_t>(slot)]);
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_TRUE(none_done()) << "recorded before the start";

  // A start shorter than one block leaves a partly filled buffer, which the
  // reset drops: it is never marked done, even while time goes on.
  device->start();
  std::this_thread::sleep_for(milliseconds(5));
  device->stop_and_reset();
  EXPECT_TRUE(none_done());
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_TRUE(none_done()) << "recorded after the reset";

  // Queued again, the buffers stay empty until the next start.
  for (int slot = 0; slot < 3; ++slot) device->add_buffer(slot, areas[static_cast<std::size_t>(slot)]);
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_TRUE(none_done());
  device->start();
  const auto deadline = Clock::now() + std::chrono::seconds(3);
  while (!device->is_done(0) && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(1));
  EXPECT_TRUE(device->is_done(0));
  device->stop_and_reset();
  EXPECT_TRUE(none_done()) << "a finished buffer is dropped by the reset as well";
}

TEST(CaptureDeviceTest, SoundWithNoBufferQueuedIsLost) {
  MicrophoneFeed feed;
  ASSERT_TRUE(feed.running());
  DeviceError error;
  const std::unique_ptr<CaptureDevice> device = open_capture_device(-1, error);
  ASSERT_TRUE(device) << "error " << error.code;

  // Waits for the tone to be through, with one buffer at a time.
  CaptureArea area{};
  const auto record_one = [&] {
    device->add_buffer(0, area);
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (!device->is_done(0) && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(1));
    return device->is_done(0) ? rms(left_channel(area)) : -1.0;
  };
  device->start();
  double level = 0;
  for (int i = 0; i < 100 && level < 2000; ++i) level = record_one();
  ASSERT_GE(level, 2000);

  // Half a second without a buffer: the next block is half a second louder,
  // not the block that followed the last one.
  std::this_thread::sleep_for(milliseconds(500));
  const double later = record_one();
  EXPECT_GT(later, level + 0.5 * 6000 * 0.5) << "before " << level;
  device->stop_and_reset();
}

TEST(CaptureDeviceTest, InputsAreCountedWithoutMonitors) {
  DeviceError error;
  EXPECT_TRUE(open_capture_device(0, error)) << "error " << error.code;
  DeviceError missing;
  EXPECT_FALSE(open_capture_device(1000, missing));
  EXPECT_NE(missing.code, 0);
}

// Counts finished buffers and when each one finished.
class CompletionLog {
 public:
  void note() {
    {
      const std::lock_guard lock(mutex_);
      times_.push_back(Clock::now());
    }
    changed_.notify_all();
  }
  bool wait_for(std::size_t count, milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return times_.size() >= count; });
  }
  std::vector<Clock::time_point> times() const {
    const std::lock_guard lock(mutex_);
    return times_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Clock::time_point> times_;
};

TEST(OutputDeviceTest, BuffersPlayInOrderPacedByTheDevice) {
  SpeakerRecording recording;
  ASSERT_TRUE(recording.running());
  std::this_thread::sleep_for(milliseconds(200));

  CompletionLog log;
  DeviceError error;
  std::unique_ptr<OutputDevice> device = open_output_device([&log] { log.note(); }, error);
  ASSERT_TRUE(device) << "error " << error.code;

  // Two buffers queued at a time, the next written when one finishes, as
  // the audio worker does.
  constexpr int kBuffers = 8;
  long frame = 0;
  std::vector<Clock::time_point> written;
  for (int i = 0; i < kBuffers; ++i) {
    if (i >= 2) {
      ASSERT_TRUE(log.wait_for(static_cast<std::size_t>(i - 1), milliseconds(3000))) << "buffer " << i - 2;
    }
    written.push_back(Clock::now());
    device->write(voice_tone(440.0, 12000.0, frame));
  }
  ASSERT_TRUE(log.wait_for(kBuffers, milliseconds(3000)));
  std::this_thread::sleep_for(milliseconds(300));
  const std::vector<Clock::time_point> done = log.times();
  device.reset();
  const std::vector<std::int16_t> heard = recording.stop();

  ASSERT_EQ(done.size(), static_cast<std::size_t>(kBuffers));
  EXPECT_GE(elapsed_ms(written.front(), done.back()), 800.0);
  double slowest = 0;
  for (int i = 0; i < kBuffers; ++i) {
    const double latency = elapsed_ms(written[static_cast<std::size_t>(i)], done[static_cast<std::size_t>(i)]);
    slowest = std::max(slowest, latency);
    EXPECT_GT(latency, 60.0) << "buffer " << i << " finished too soon";
  }
  const double spacing = elapsed_ms(done.front(), done.back()) / (kBuffers - 1);
  std::cout << "output: buffers finish " << spacing << " ms apart (" << shortest_gap(done) << " to "
            << longest_gap(done) << "), first after " << elapsed_ms(written.front(), done.front()) << " ms, slowest "
            << slowest << " ms after its write\n";
  EXPECT_NEAR(spacing, 125.0, 40.0);

  const ToneFound tone = find_tone(heard, 3000);
  EXPECT_NEAR(tone.frequency_hz, 440.0, 30.0);
  EXPECT_GE(tone.windows, 16) << "a second of tone is 20 windows";
  EXPECT_LE(tone.windows, 24);
}

TEST(OutputDeviceTest, BuffersWrittenAtOnceStillFinishOneByOne) {
  CompletionLog log;
  DeviceError error;
  const std::unique_ptr<OutputDevice> device = open_output_device([&log] { log.note(); }, error);
  ASSERT_TRUE(device) << "error " << error.code;

  long frame = 0;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < 8; ++i) device->write(voice_tone(440.0, 12000.0, frame));
  ASSERT_TRUE(log.wait_for(8, milliseconds(5000)));
  std::this_thread::sleep_for(milliseconds(300));
  const std::vector<Clock::time_point> done = log.times();
  ASSERT_EQ(done.size(), 8u);
  EXPECT_GE(elapsed_ms(start, done.back()), 800.0);
  EXPECT_GE(elapsed_ms(done.front(), done.back()), 7 * 125.0 * 0.7);
}

TEST(OutputDeviceTest, NoBufferFinishesOnceTheDeviceIsGone) {
  auto finished = std::make_shared<std::atomic<int>>(0);
  DeviceError error;
  std::unique_ptr<OutputDevice> device = open_output_device([finished] { ++*finished; }, error);
  ASSERT_TRUE(device) << "error " << error.code;
  long frame = 0;
  device->write(voice_tone(440.0, 12000.0, frame));
  device->write(voice_tone(440.0, 12000.0, frame));
  const Clock::time_point start = Clock::now();
  device.reset();
  EXPECT_LT(elapsed_ms(start, Clock::now()), 200.0) << "closing waits for the buffers";
  const int at_close = finished->load();
  std::this_thread::sleep_for(milliseconds(400));
  EXPECT_EQ(finished->load(), at_close);
  EXPECT_EQ(at_close, 0);
}

TEST(RenderDeviceTest, FloatToneIsHeard) {
  SpeakerRecording recording;
  ASSERT_TRUE(recording.running());
  std::this_thread::sleep_for(milliseconds(200));

  const std::unique_ptr<RenderDevice> device = open_render_device(100);
  ASSERT_TRUE(device);
  EXPECT_EQ(device->channels(), 2);
  EXPECT_EQ(device->frames_per_second(), 48000);
  EXPECT_GE(device->buffer_frames(), 2400u);
  EXPECT_LE(device->buffer_frames(), 9600u);
  EXPECT_EQ(device->writable_frames(), device->buffer_frames());

  long frame = 0;
  std::vector<float> samples;
  const auto top_up = [&] {
    samples.resize(device->writable_frames() * 2);
    for (std::size_t i = 0; i < samples.size(); i += 2, ++frame) {
      const double seconds = static_cast<double>(frame) / kRenderFramesPerSecond;
      samples[i] = samples[i + 1] = static_cast<float>(0.4 * std::sin(2 * std::numbers::pi * 440.0 * seconds));
    }
    return device->write(samples);
  };
  ASSERT_TRUE(top_up());
  ASSERT_TRUE(device->start());
  const auto until = Clock::now() + milliseconds(1000);
  while (Clock::now() < until) {
    ASSERT_TRUE(top_up());
    std::this_thread::sleep_for(milliseconds(20));
  }
  const long written = frame;
  std::this_thread::sleep_for(milliseconds(300));
  const std::vector<std::int16_t> heard = recording.stop();

  EXPECT_GE(written, 40000L);
  EXPECT_LE(written, 48000L + 2 * 4800L);
  const ToneFound tone = find_tone(heard, 3000);
  EXPECT_NEAR(tone.frequency_hz, 440.0, 30.0);
  EXPECT_GE(tone.windows, 16) << "a second of tone is 20 windows";
}

TEST(AudioDevicesTest, NoServerMeansNoDevice) {
  const SoundServerAddress absent("unix:/nonexistent/pulse/native");
  DeviceError capture_error;
  EXPECT_FALSE(open_capture_device(-1, capture_error));
  EXPECT_NE(capture_error.code, 0);
  DeviceError chosen_error;
  EXPECT_FALSE(open_capture_device(0, chosen_error));
  EXPECT_NE(chosen_error.code, 0);
  DeviceError output_error;
  EXPECT_FALSE(open_output_device([] {}, output_error));
  EXPECT_NE(output_error.code, 0);
  EXPECT_FALSE(open_render_device(100));
}

// A sound server of this test's own, which it can kill.
class PrivateSoundServer {
 public:
  PrivateSoundServer() {
    std::string dir_template = (std::filesystem::temp_directory_path() / "marvok-pulse-XXXXXX").string();
    if (!::mkdtemp(dir_template.data())) return;
    dir_ = dir_template;
    const std::string socket = dir_ + "/native";
    std::vector<std::string> arguments = {"pulseaudio",
                                          "-n",
                                          "--daemonize=no",
                                          "--exit-idle-time=-1",
                                          "--use-pid-file=no",
                                          "-L",
                                          "module-native-protocol-unix socket=" + socket + " auth-anonymous=1",
                                          "-L",
                                          "module-null-sink sink_name=out"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = {"PULSE_RUNTIME_PATH=" + dir_, "PULSE_STATE_PATH=" + dir_,
                                          "XDG_RUNTIME_DIR=" + dir_, "HOME=" + dir_};
    for (char** variable = environ; *variable; ++variable)
      if (!std::string_view(*variable).starts_with("PULSE_")) variables.emplace_back(*variable);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    struct stat status {};
    for (int i = 0; i < 200 && pid_ && ::stat(socket.c_str(), &status) != 0; ++i)
      std::this_thread::sleep_for(milliseconds(50));
    address_ = "unix:" + socket;
  }
  ~PrivateSoundServer() {
    kill();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  PrivateSoundServer(const PrivateSoundServer&) = delete;
  PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

  const std::string& address() const { return address_; }
  bool started() const { return pid_ != 0; }
  void kill() {
    if (!pid_) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 private:
  std::string dir_;
  std::string address_;
  pid_t pid_ = 0;
};

TEST(AudioDevicesTest, DevicesSurviveTheServerDying) {
  PrivateSoundServer server;
  ASSERT_TRUE(server.started());
  const SoundServerAddress own(server.address());

  DeviceError error;
  std::unique_ptr<CaptureDevice> capture;
  for (int i = 0; i < 50 && !capture; ++i) {
    capture = open_capture_device(-1, error);
    if (!capture) std::this_thread::sleep_for(milliseconds(100));
  }
  ASSERT_TRUE(capture) << "error " << error.code;
  auto finished = std::make_shared<std::atomic<int>>(0);
  std::unique_ptr<OutputDevice> output = open_output_device([finished] { ++*finished; }, error);
  ASSERT_TRUE(output) << "error " << error.code;
  std::unique_ptr<RenderDevice> render = open_render_device(100);
  ASSERT_TRUE(render);

  std::array<CaptureArea, 3> areas{};
  for (int slot = 0; slot < 3; ++slot) capture->add_buffer(slot, areas[static_cast<std::size_t>(slot)]);
  capture->start();
  long frame = 0;
  EXPECT_TRUE(output->write(voice_tone(440.0, 12000.0, frame)));
  EXPECT_TRUE(output->write(voice_tone(440.0, 12000.0, frame)));
  std::vector<float> silence(2 * render->writable_frames());
  EXPECT_TRUE(render->write(silence));
  EXPECT_TRUE(render->start());
  std::this_thread::sleep_for(milliseconds(50));

  server.kill();
  std::this_thread::sleep_for(milliseconds(300));
  const int finished_at_death = finished->load();
  capture->stop_and_reset();
  capture->add_buffer(0, areas[0]);
  capture->start();
  EXPECT_FALSE(output->write(voice_tone(440.0, 12000.0, frame)));
  EXPECT_FALSE(render->write(silence));
  EXPECT_FALSE(render->start());
  EXPECT_EQ(render->writable_frames(), 0u);
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_FALSE(capture->is_done(0));
  EXPECT_EQ(finished->load(), finished_at_death);
  capture.reset();
  output.reset();
  render.reset();
}

}  // namespace
}  // namespace marvok::platform
