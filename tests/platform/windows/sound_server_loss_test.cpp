// The wrapper's sound server goes away under running devices and comes back:
// the devices must say they are lost, as the audio workers expect, and open
// again once it is back.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio_devices.h"

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

}  // namespace
}  // namespace marvok::platform
