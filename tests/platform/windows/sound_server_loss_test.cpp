// The wrapper's sound server goes away under running devices and comes back:
// the devices must say they are lost, as the audio workers expect, and open
// again once it is back.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_worker.h"
#include "audio/render_worker.h"
#include "platform/audio_devices.h"
#include "platform/worker_threads.h"
#include "support/voice_probes.h"

namespace marvok::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Asks the wrapper to stop or start the sound server, through files in a
// folder of the host's, which Wine shows on drive Z:.
class SoundServerControl {
 public:
  SoundServerControl() {
    if (const char* folder = std::getenv("MARVOK_SOUND_SERVER_CONTROL")) folder_ = std::string("Z:") + folder;
  }
  bool available() const { return !folder_.empty() && std::filesystem::is_directory(folder_); }

  bool request(const std::string& what) const {
    const std::filesystem::path answer = folder_ / "answer";
    std::filesystem::remove(answer);
    std::ofstream(folder_ / "request.new") << what;
    std::filesystem::rename(folder_ / "request.new", folder_ / "request");
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(answer) && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(50));
    return std::filesystem::exists(answer);
  }

 private:
  std::filesystem::path folder_;
};

struct RunningDevices {
  std::shared_ptr<std::atomic<int>> finished = std::make_shared<std::atomic<int>>(0);
  std::unique_ptr<OutputDevice> output;
  std::unique_ptr<CaptureDevice> capture;
  std::unique_ptr<RenderDevice> render;
  std::array<std::array<std::uint8_t, kCaptureBufferBytes>, 3> areas{};
  int next_slot = 0;
  int blocks = 0;

  // Opens all three, or none; DeviceError of the last that failed.
  bool open(DeviceError& error) {
    output = open_output_device([finished = finished] { ++*finished; }, error);
    capture = open_capture_device(-1, error);
    render = open_render_device(100);
    if (!output || !capture || !render) return false;
    for (int slot = 0; slot < 3; ++slot) capture->add_buffer(slot, areas[static_cast<std::size_t>(slot)]);
    capture->start();
    return render->write(std::vector<float>(2 * render->writable_frames())) && render->start();
  }

  // One pass of the workers' loops: the next capture buffer handed back when
  // done, the output kept two buffers ahead, the render stream topped up.
  bool render_ok = true;
  bool output_ok = true;
  int written = 0;
  void run_for(milliseconds time) {
    const std::array<std::uint8_t, kOutputBufferBytes> silence{};
    const auto until = Clock::now() + time;
    while (Clock::now() < until) {
      if (capture->is_done(next_slot)) {
        capture->add_buffer(next_slot, areas[static_cast<std::size_t>(next_slot)]);
        next_slot = (next_slot + 1) % 3;
        ++blocks;
      }
      if (output_ok && written - finished->load() < 2) {
        output_ok = output->write(silence);
        if (output_ok) ++written;
      }
      if (render_ok) render_ok = render->write(std::vector<float>(2 * render->writable_frames()));
      std::this_thread::sleep_for(milliseconds(10));
    }
  }
};

TEST(SoundServerLossTest, DevicesReportTheLossAndOpenAgainOnceTheServerIsBack) {
  const SoundServerControl server;
  ASSERT_TRUE(server.available());
  RunningDevices devices;
  DeviceError error;
  ASSERT_TRUE(devices.open(error)) << "error " << error.code;
  devices.run_for(milliseconds(1000));
  EXPECT_GE(devices.blocks, 20);
  EXPECT_GE(devices.finished->load(), 4);
  EXPECT_TRUE(devices.render_ok);

  ASSERT_TRUE(server.request("stop"));
  // Within the two seconds the audio workers allow, nothing comes back any
  // more, and the render stream says it failed.
  devices.run_for(milliseconds(500));
  const int blocks = devices.blocks;
  const int finished = devices.finished->load();
  devices.run_for(milliseconds(2500));
  EXPECT_EQ(devices.blocks, blocks) << "recorded with no sound server";
  EXPECT_EQ(devices.finished->load(), finished) << "played with no sound server";
  EXPECT_FALSE(devices.render_ok);

  // Opening while it is away fails as a server away, which the workers wait for.
  DeviceError output_error;
  EXPECT_FALSE(open_output_device([] {}, output_error));
  EXPECT_EQ(output_error.server, ServerReach::Unreachable) << "error " << output_error.code;
  DeviceError capture_error;
  EXPECT_FALSE(open_capture_device(-1, capture_error));
  EXPECT_EQ(capture_error.server, ServerReach::Unreachable) << "error " << capture_error.code;
  EXPECT_FALSE(open_render_device(100));

  ASSERT_TRUE(server.request("start"));
  RunningDevices again;
  bool opened = false;
  for (int i = 0; i < 20 && !opened; ++i) {
    opened = again.open(error);
    if (!opened) std::this_thread::sleep_for(milliseconds(250));
  }
  ASSERT_TRUE(opened) << "error " << error.code;
  again.run_for(milliseconds(1000));
  EXPECT_GE(again.blocks, 20);
  EXPECT_GE(again.finished->load(), 4);
  EXPECT_TRUE(again.render_ok);
}

// The tone a recording carries, from its crossings of zero.
double tone_hz(const std::vector<std::int16_t>& samples) {
  std::vector<std::int16_t> loud;
  for (const std::int16_t sample : samples)
    if (!loud.empty() || std::abs(sample) > 3000) loud.push_back(sample);
  while (!loud.empty() && std::abs(loud.back()) < 3000) loud.pop_back();
  int crossings = 0;
  for (std::size_t i = 1; i < loud.size(); ++i)
    if ((loud[i - 1] < 0) != (loud[i] < 0)) ++crossings;
  return loud.size() < 2 ? 0 : crossings * kVoiceFramesPerSecond / 2.0 / static_cast<double>(loud.size());
}

// The client's own workers on these devices: after the server's restart the
// member talks, listens and hears decoded speech again, with nothing reported.
TEST(SoundServerLossTest, AudioWorkersCarryOnOnceTheServerIsBack) {
  const SoundServerControl server;
  ASSERT_TRUE(server.available());
  SessionState state;
  state.talk.set_key(TalkValue::Released);
  state.talk.set_pedal(TalkValue::Released);
  state.devices.SelectedInputDevice = -1;
  VoiceBlockQueue queue;
  queue.reset();
  LevelMeterState meters;
  std::mutex mutex;
  std::vector<std::int16_t> sent_left;
  std::vector<VoiceDevice> failures;
  AudioWorker worker(
      state, queue, meters, VoiceDevices{open_output_device, open_capture_device},
      [&](std::span<const std::uint8_t, kVoiceBlockBytes> block) {
        const std::lock_guard lock(mutex);
        for (std::size_t i = 0; i < block.size(); i += 4)
          sent_left.push_back(static_cast<std::int16_t>(block[i] | block[i + 1] << 8));
      },
      [&](VoiceDevice device, int) {
        const std::lock_guard lock(mutex);
        failures.push_back(device);
      });
  const auto sent_blocks = [&] {
    const std::lock_guard lock(mutex);
    return sent_left.size() / (kVoiceBlockBytes / 4);
  };
  RenderRing ring;
  WorkerThreads workers;
  workers.start([&](std::stop_token stop) { worker.run(stop); });
  workers.start([&](std::stop_token stop) {
    run_render_worker(
        stop, [] { return open_render_device(kRenderBufferMs); }, ring);
  });
  std::this_thread::sleep_for(milliseconds(500));

  ASSERT_TRUE(server.request("stop"));
  std::this_thread::sleep_for(milliseconds(2500));
  state.talk.set_key(TalkValue::Pressed);
  std::this_thread::sleep_for(milliseconds(1000));
  EXPECT_EQ(sent_blocks(), 0u);

  ASSERT_TRUE(server.request("start"));
  {
    const testing::MicrophoneFeed feed;
    ASSERT_TRUE(feed.running());
    const auto until = Clock::now() + std::chrono::seconds(6);
    while (sent_blocks() < 40 && Clock::now() < until) std::this_thread::sleep_for(milliseconds(20));
  }
  state.talk.set_key(TalkValue::Released);
  ASSERT_GE(sent_blocks(), 40u) << "talking did not come back";
  {
    const std::lock_guard lock(mutex);
    const std::vector<std::int16_t> last(sent_left.end() - 32 * 250, sent_left.end());
    EXPECT_NEAR(tone_hz(last), 1000.0, 100.0);
  }

  {
    testing::SpeakerRecording recording;
    ASSERT_TRUE(recording.running());
    long frame = 0;
    std::array<std::uint8_t, kVoiceBlockBytes> block{};
    for (int i = 0; i < 12; ++i) {
      for (std::size_t at = 0; at < block.size(); at += 4, ++frame) {
        const auto sample = static_cast<std::int16_t>(
            12000 * std::sin(2 * std::numbers::pi * 440.0 * static_cast<double>(frame) / kVoiceFramesPerSecond));
        std::memcpy(&block[at], &sample, sizeof sample);
        std::memcpy(&block[at + 2], &sample, sizeof sample);
      }
      queue.queue_voice_block(block, Attenuation::None);
    }
    std::this_thread::sleep_for(milliseconds(1500));
    EXPECT_NEAR(tone_hz(recording.stop()), 440.0, 45.0) << "listening did not come back";
  }
  {
    testing::SpeakerRecording recording;
    ASSERT_TRUE(recording.running());
    std::vector<float> speech(2 * kRenderFramesPerSecond);
    for (std::size_t frame = 0; 2 * frame < speech.size(); ++frame) {
      speech[2 * frame] = speech[2 * frame + 1] = static_cast<float>(
          0.4 * std::sin(2 * std::numbers::pi * 660.0 * static_cast<double>(frame) / kRenderFramesPerSecond));
    }
    ring.write(speech);
    std::this_thread::sleep_for(milliseconds(2000));
    EXPECT_NEAR(tone_hz(recording.stop()), 660.0, 60.0) << "decoded speech is not heard again";
  }
  workers.stop_all();
  EXPECT_TRUE(failures.empty());
}

}  // namespace
}  // namespace marvok::platform
