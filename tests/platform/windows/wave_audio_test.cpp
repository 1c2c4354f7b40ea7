// These tests play and record through the sound server that the wrapper
// starts: the default microphone hears a steady 1000 Hz tone, and what the
// default output plays is heard on the input device "Monitor of Speaker".
#include <gtest/gtest.h>
#include <mmsystem.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <numbers>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio_devices.h"
#include "platform/startup_sound.h"

namespace marvok::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using CaptureArea = std::array<std::uint8_t, kCaptureBufferBytes>;

double elapsed_ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

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

double frequency_hz(std::span<const std::int16_t> samples) {
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i)
    if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
  return samples.size() < 2 ? 0 : crossings * kVoiceFramesPerSecond / 2.0 / static_cast<double>(samples.size() - 1);
}

// The 50 ms stretches of a recording louder than `min_level`, and their frequency.
struct ToneFound {
  int windows = 0;
  double frequency_hz = 0;
};

ToneFound find_tone(const std::vector<std::int16_t>& samples, double min_level) {
  constexpr std::size_t kWindow = kVoiceFramesPerSecond / 20;
  ToneFound found;
  double sum = 0;
  for (std::size_t at = 0; at + kWindow <= samples.size(); at += kWindow) {
    const std::span<const std::int16_t> window(samples.data() + at, kWindow);
    if (rms(window) < min_level) continue;
    ++found.windows;
    sum += frequency_hz(window);
  }
  if (found.windows > 0) found.frequency_hz = sum / found.windows;
  return found;
}

// Hands the three buffers back in turn, as the audio worker does, keeping
// each finished block with the time it was seen.
struct CapturedBlocks {
  std::vector<CaptureArea> blocks;
  std::vector<Clock::time_point> times;
  int out_of_order = 0;
};

CapturedBlocks capture_blocks(CaptureDevice& device, std::function<bool(const CapturedBlocks&)> enough) {
  std::array<CaptureArea, 3> areas{};
  for (int slot = 0; slot < 3; ++slot) device.add_buffer(slot, areas[static_cast<std::size_t>(slot)]);
  device.start();
  CapturedBlocks captured;
  int next = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!enough(captured) && Clock::now() < deadline) {
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

CapturedBlocks capture_count(CaptureDevice& device, std::size_t count) {
  return capture_blocks(device, [count](const CapturedBlocks& captured) { return captured.blocks.size() >= count; });
}

int input_device_named(const std::wstring& name) {
  const UINT count = waveInGetNumDevs();
  for (UINT id = 0; id < count; ++id) {
    WAVEINCAPSW caps{};
    if (waveInGetDevCapsW(id, &caps, sizeof caps) == MMSYSERR_NOERROR && name == caps.szPname)
      return static_cast<int>(id);
  }
  return -1;
}

// Records what the default output plays, on a thread, until stopped.
class SpeakerRecording {
 public:
  SpeakerRecording() {
    DeviceError error;
    device_ = open_capture_device(input_device_named(L"Monitor of Speaker"), error);
    if (!device_) return;
    thread_ = std::jthread([this](std::stop_token stop) {
      captured_ = capture_blocks(*device_, [&stop](const CapturedBlocks&) { return stop.stop_requested(); });
    });
    std::this_thread::sleep_for(milliseconds(200));
  }
  bool running() const { return device_ != nullptr; }

  std::vector<std::int16_t> stop() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
    std::vector<std::int16_t> samples;
    for (const CaptureArea& block : captured_.blocks) {
      const std::vector<std::int16_t> left = left_channel(block);
      samples.insert(samples.end(), left.begin(), left.end());
    }
    return samples;
  }

 private:
  std::unique_ptr<CaptureDevice> device_;
  CapturedBlocks captured_;
  std::jthread thread_;
};

TEST(CaptureDeviceTest, MicrophoneToneArrivesInWholeOrderedBlocks) {
  DeviceError error;
  const std::unique_ptr<CaptureDevice> device = open_capture_device(-1, error);
  ASSERT_TRUE(device) << "error " << error.code;

  const CapturedBlocks captured = capture_count(*device, 64);
  ASSERT_EQ(captured.blocks.size(), 64u);
  EXPECT_EQ(captured.out_of_order, 0);
  int tone_blocks = 0;
  int joined = 0;
  std::vector<std::int16_t> previous;
  for (std::size_t i = 0; i < captured.blocks.size(); ++i) {
    const std::vector<std::int16_t> samples = left_channel(captured.blocks[i]);
    if (rms(samples) < 5000) continue;  // The tone is not through yet.
    ++tone_blocks;
    EXPECT_NEAR(frequency_hz(samples), 1000.0, 100.0) << "block " << i;
    // A sine goes on from its last two samples: x[n+1] = 2 cos(w) x[n] - x[n-1].
    // Blocks handed out in order, with nothing lost between them, join so.
    if (!previous.empty()) {
      const double expected = 2 * std::cos(2 * std::numbers::pi * 1000.0 / kVoiceFramesPerSecond) * previous.back() -
                              previous[previous.size() - 2];
      if (std::abs(samples.front() - expected) < 1500) ++joined;
    }
    previous = samples;
  }
  EXPECT_GE(tone_blocks, 56);
  EXPECT_GE(joined, tone_blocks * 9 / 10) << "blocks out of order or sound lost between them";
  const double spacing = elapsed_ms(captured.times.front(), captured.times.back()) / 63;
  std::cout << "capture: " << tone_blocks << " tone blocks, " << joined << " joined, " << spacing << " ms apart\n";
  EXPECT_NEAR(spacing, 31.25, 5.0);
}

TEST(CaptureDeviceTest, NothingIsRecordedBeforeStartOrAfterReset) {
  DeviceError error;
  const std::unique_ptr<CaptureDevice> device = open_capture_device(-1, error);
  ASSERT_TRUE(device) << "error " << error.code;
  const auto none_done = [&device] { return !device->is_done(0) && !device->is_done(1) && !device->is_done(2); };

  std::array<CaptureArea, 3> areas{};
  for (int slot = 0; slot < 3; ++slot) device->add_buffer(slot, areas[static_cast<std::size_t>(slot)]);
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_TRUE(none_done()) << "recorded before the start";

  // A start shorter than a block leaves a partly filled buffer, which the reset drops.
  device->start();
  std::this_thread::sleep_for(milliseconds(5));
  device->stop_and_reset();
  EXPECT_TRUE(none_done());
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_TRUE(none_done()) << "recorded after the reset";

  for (int slot = 0; slot < 3; ++slot) device->add_buffer(slot, areas[static_cast<std::size_t>(slot)]);
  device->add_buffer(0, areas[0]);  // a buffer still queued stays queued once
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_TRUE(none_done());
  device->start();
  const auto deadline = Clock::now() + std::chrono::seconds(3);
  while (!device->is_done(2) && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(1));
  EXPECT_TRUE(device->is_done(0) && device->is_done(1) && device->is_done(2));
  device->stop_and_reset();
  EXPECT_TRUE(none_done()) << "a finished buffer is dropped by the reset as well";
}

TEST(CaptureDeviceTest, SlotsOutsideTheThreeAreIgnored) {
  DeviceError error;
  const std::unique_ptr<CaptureDevice> device = open_capture_device(-1, error);
  ASSERT_TRUE(device) << "error " << error.code;
  CaptureArea area{};
  for (const int slot : {-1, 3, 1000}) {
    device->add_buffer(slot, area);
    EXPECT_FALSE(device->is_done(slot));
  }
  device->start();
  std::this_thread::sleep_for(milliseconds(100));
  device->stop_and_reset();
}

TEST(CaptureDeviceTest, UnknownInputIsRefusedWithACode) {
  DeviceError error;
  EXPECT_FALSE(open_capture_device(1000, error));
  EXPECT_NE(error.code, 0);
  // The other devices are still there: this one will not come.
  EXPECT_EQ(error.server, ServerReach::Reached);
}

// Counts finished buffers and when each one finished.
class CompletionLog {
 public:
  void note() {
    const std::lock_guard lock(mutex_);
    times_.push_back(Clock::now());
  }
  bool wait_for(std::size_t count, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      if (times().size() >= count) return true;
      std::this_thread::sleep_for(milliseconds(1));
    }
    return false;
  }
  std::vector<Clock::time_point> times() const {
    const std::lock_guard lock(mutex_);
    return times_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Clock::time_point> times_;
};

std::array<std::uint8_t, kOutputBufferBytes> voice_tone(double hz, double level, long& frame) {
  std::array<std::uint8_t, kOutputBufferBytes> buffer{};
  for (std::size_t at = 0; at < buffer.size(); at += 4, ++frame) {
    const double seconds = static_cast<double>(frame) / kVoiceFramesPerSecond;
    const auto sample = static_cast<std::int16_t>(level * std::sin(2 * std::numbers::pi * hz * seconds));
    std::memcpy(&buffer[at], &sample, sizeof sample);
    std::memcpy(&buffer[at + 2], &sample, sizeof sample);
  }
  return buffer;
}

// Eight buffers, two queued at a time, the next written when one is done, as
// the audio worker does: one second of tone.
void play_voice_tone(double hz) {
  CompletionLog log;
  DeviceError error;
  std::unique_ptr<OutputDevice> device = open_output_device([&log] { log.note(); }, error);
  ASSERT_TRUE(device) << "error " << error.code;
  constexpr int kBuffers = 8;
  long frame = 0;
  std::vector<Clock::time_point> written;
  for (int i = 0; i < kBuffers; ++i) {
    if (i >= 2) {
      ASSERT_TRUE(log.wait_for(static_cast<std::size_t>(i - 1), milliseconds(3000))) << "buffer " << i - 2;
    }
    written.push_back(Clock::now());
    ASSERT_TRUE(device->write(voice_tone(hz, 12000.0, frame)));
  }
  ASSERT_TRUE(log.wait_for(kBuffers, milliseconds(3000)));
  std::this_thread::sleep_for(milliseconds(200));
  const std::vector<Clock::time_point> done = log.times();
  device.reset();
  ASSERT_EQ(done.size(), static_cast<std::size_t>(kBuffers)) << "a buffer reported twice";
  for (int i = 0; i < kBuffers; ++i)
    EXPECT_GT(elapsed_ms(written[static_cast<std::size_t>(i)], done[static_cast<std::size_t>(i)]), 60.0)
        << "buffer " << i << " done too soon";
  const double spacing = elapsed_ms(done.front(), done.back()) / (kBuffers - 1);
  std::cout << "output: buffers done " << spacing << " ms apart, the first " << elapsed_ms(written[0], done[0])
            << " ms after its write\n";
  EXPECT_NEAR(spacing, 125.0, 40.0);
}

void play_render_tone(double hz) {
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
      samples[i] = samples[i + 1] = static_cast<float>(0.4 * std::sin(2 * std::numbers::pi * hz * seconds));
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
  std::cout << "render: " << device->buffer_frames() << " frames of buffer, " << frame << " frames written in 1 s\n";
  EXPECT_GE(frame, 40000L);
  EXPECT_LE(frame, 48000L + 2 * 4800L);
  std::this_thread::sleep_for(milliseconds(300));
}

// A mono 16-bit wave file of a sine at 8000 frames per second.
std::string write_tone_file(const std::string& name, double hz, milliseconds length) {
  const std::string path = (std::filesystem::temp_directory_path() / name).string();
  const auto frames = static_cast<std::uint32_t>(kVoiceFramesPerSecond * length.count() / 1000);
  std::vector<std::int16_t> samples(frames);
  for (std::uint32_t i = 0; i < frames; ++i)
    samples[i] = static_cast<std::int16_t>(12000 * std::sin(2 * std::numbers::pi * hz * i / kVoiceFramesPerSecond));
  const auto put32 = [](std::ofstream& out, std::uint32_t value) {
    out.write(reinterpret_cast<const char*>(&value), 4);
  };
  const auto put16 = [](std::ofstream& out, std::uint16_t value) {
    out.write(reinterpret_cast<const char*>(&value), 2);
  };
  std::ofstream out(path, std::ios::binary);
  out << "RIFF";
  put32(out, 36 + 2 * frames);
  out << "WAVEfmt ";
  put32(out, 16);
  put16(out, 1);
  put16(out, 1);
  put32(out, kVoiceFramesPerSecond);
  put32(out, 2 * kVoiceFramesPerSecond);
  put16(out, 2);
  put16(out, 16);
  out << "data";
  put32(out, 2 * frames);
  out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(2 * frames));
  return path;
}

void play_startup_tone(double hz) {
  StartupSound sound;
  ASSERT_TRUE(sound.play_async(write_tone_file("marvok-chime.wav", hz, milliseconds(1000))));
  std::this_thread::sleep_for(milliseconds(1300));
}

// Each way out plays a second of its own tone, which the speaker must carry.
struct Player {
  const char* name;
  double hz;
  void (*play)(double);
};

class TonePlayedTest : public ::testing::TestWithParam<Player> {};

TEST_P(TonePlayedTest, IsHeardAtItsFrequencyForItsLength) {
  SpeakerRecording recording;
  ASSERT_TRUE(recording.running());
  GetParam().play(GetParam().hz);
  const std::vector<std::int16_t> heard = recording.stop();
  const ToneFound tone = find_tone(heard, 3000);
  std::cout << GetParam().name << ": " << tone.windows << " windows of tone at " << tone.frequency_hz << " Hz, "
            << heard.size() << " samples heard\n";
  EXPECT_NEAR(tone.frequency_hz, GetParam().hz, 30.0);
  EXPECT_GE(tone.windows, 16) << "a second of tone is 20 windows";
  EXPECT_LE(tone.windows, 24);
}

INSTANTIATE_TEST_SUITE_P(Outputs, TonePlayedTest,
                         ::testing::Values(Player{"wave output", 440.0, play_voice_tone},
                                           Player{"render stream", 660.0, play_render_tone},
                                           Player{"start-up sound", 880.0, play_startup_tone}),
                         [](const ::testing::TestParamInfo<Player>& played) {
                           return std::string(played.param.name).substr(0, 4);
                         });

TEST(OutputDeviceTest, NoBufferIsReportedOnceTheDeviceIsGone) {
  auto finished = std::make_shared<std::atomic<int>>(0);
  DeviceError error;
  std::unique_ptr<OutputDevice> device = open_output_device([finished] { ++*finished; }, error);
  ASSERT_TRUE(device) << "error " << error.code;
  long frame = 0;
  EXPECT_TRUE(device->write(voice_tone(440.0, 12000.0, frame)));
  EXPECT_TRUE(device->write(voice_tone(440.0, 12000.0, frame)));
  const Clock::time_point start = Clock::now();
  device.reset();
  EXPECT_LT(elapsed_ms(start, Clock::now()), 200.0) << "closing waits for the buffers";
  std::this_thread::sleep_for(milliseconds(400));
  EXPECT_EQ(finished->load(), 0);
}

TEST(StartupSoundTest, StopCutsTheSoundShort) {
  SpeakerRecording recording;
  ASSERT_TRUE(recording.running());
  {
    StartupSound sound;
    ASSERT_TRUE(sound.play_async(write_tone_file("marvok-long-chime.wav", 880.0, milliseconds(3000))));
    std::this_thread::sleep_for(milliseconds(500));
  }
  std::this_thread::sleep_for(milliseconds(1000));
  const ToneFound tone = find_tone(recording.stop(), 3000);
  EXPECT_GE(tone.windows, 2);
  EXPECT_LE(tone.windows, 20) << "three seconds of tone would be 60 windows";
}

TEST(StartupSoundTest, MissingOrBrokenFileFails) {
  StartupSound sound;
  EXPECT_FALSE(sound.play_async("C:\\nonexistent\\chimes.wav"));
  const std::string broken = (std::filesystem::temp_directory_path() / "marvok-broken.wav").string();
  std::ofstream(broken) << "RIFF....WAVEnot a sound";
  EXPECT_FALSE(sound.play_async(broken));
}

}  // namespace
}  // namespace marvok::platform
