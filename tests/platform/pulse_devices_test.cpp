// These tests take the sound server away from the devices: the client
// library's address points elsewhere, or a server of the test's own is killed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/audio_devices.h"
#include "support/voice_probes.h"

extern char** environ;

namespace marvok::platform {

using marvok::testing::voice_tone;
namespace {

using std::chrono::milliseconds;
using CaptureArea = std::array<std::uint8_t, kCaptureBufferBytes>;

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
