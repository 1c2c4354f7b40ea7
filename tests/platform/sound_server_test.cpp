// These tests talk to the PulseAudio server that the test run starts, with a
// null speaker and a microphone made from a null sink's monitor.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/master_volume.h"
#include "platform/startup_sound.h"

namespace marvok::platform {
namespace {

const std::string kChime = std::string(MARVOK_RESOURCE_DIR) + "/chimes.wav";

// Points the client library at a server that does not exist, for one test.
class NoSoundServer {
 public:
  NoSoundServer() {
    if (const char* current = std::getenv("PULSE_SERVER")) saved_ = current;
    ::setenv("PULSE_SERVER", "unix:/nonexistent/pulse/native", 1);
  }
  ~NoSoundServer() {
    if (saved_.empty()) {
      ::unsetenv("PULSE_SERVER");
    } else {
      ::setenv("PULSE_SERVER", saved_.c_str(), 1);
    }
  }

 private:
  std::string saved_;
};

TEST(MasterVolumeTest, LevelSetOnAnEndpointReadsBackTheSame) {
  for (const AudioEndpoint endpoint : {AudioEndpoint::DefaultCapture, AudioEndpoint::DefaultRender}) {
    const std::optional<float> before = get_master_level(endpoint);
    ASSERT_TRUE(before);
    ASSERT_TRUE(set_master_level(endpoint, 0.5f));
    EXPECT_NEAR(*get_master_level(endpoint), 0.5f, 0.001f);
    ASSERT_TRUE(set_master_level(endpoint, 2.0f));  // out of range is held to full level
    EXPECT_NEAR(*get_master_level(endpoint), 1.0f, 0.001f);
    set_master_level(endpoint, *before);
  }
}

TEST(MasterVolumeTest, NoServerMeansNoLevel) {
  NoSoundServer absent;
  EXPECT_FALSE(get_master_level(AudioEndpoint::DefaultCapture));
  EXPECT_FALSE(set_master_level(AudioEndpoint::DefaultRender, 0.3f));
}

TEST(StartupSoundTest, ChimePlaysAndCanBeCutShort) {
  StartupSound sound;
  EXPECT_TRUE(sound.play_async(kChime));
  sound.stop();
}

TEST(StartupSoundTest, MissingOrBrokenFileFails) {
  StartupSound sound;
  EXPECT_FALSE(sound.play_async("/nonexistent/chimes.wav"));
  QTemporaryDir dir;
  const std::string broken = dir.filePath("broken.wav").toStdString();
  std::ofstream(broken) << "RIFF....WAVEnot a sound";
  EXPECT_FALSE(sound.play_async(broken));
}

TEST(StartupSoundTest, NoServerFails) {
  NoSoundServer absent;
  StartupSound sound;
  EXPECT_FALSE(sound.play_async(kChime));
}

}  // namespace
}  // namespace marvok::platform
