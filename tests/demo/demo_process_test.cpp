// marvok-demo as a newcomer runs it, against the real web service (with an
// authority made at test time) and the relay, heard and spoken to by a
// scripted member in its channel. Runs in a private network, so the relay's
// ports are free.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "running_relay.h"
#include "state/little_endian.h"
#include "state/wave_file.h"
#include "test_client.h"
#include "tone.h"
#include "utterance.h"
#include "voice_recorder.h"

namespace marvok::demo {
namespace {

using namespace std::chrono_literals;
using relay_server::testing::RunningRelay;
using relay_server::testing::TestClient;
using Clock = std::chrono::steady_clock;

// A program with its output in files; killed if it still runs at the end.
class Process {
 public:
  enum class Stream { Output, Errors };

  explicit Process(std::vector<std::string> arguments) : output_(std::tmpfile()), errors_(std::tmpfile()) {
    // Made before the fork: the child of a threaded test only calls what is safe there.
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(::fileno(output_), STDOUT_FILENO);
      ::dup2(::fileno(errors_), STDERR_FILENO);
      ::execv(argv[0], argv.data());
      std::_Exit(127);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process() {
    if (exit_code(0s) == kStillRunning) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    std::fclose(output_);
    std::fclose(errors_);
  }

  static constexpr int kStillRunning = -1;
  int exit_code(std::chrono::milliseconds limit) {
    for (const auto deadline = Clock::now() + limit; !code_; std::this_thread::sleep_for(10ms)) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      if (!code_ && Clock::now() >= deadline) return kStillRunning;
    }
    return *code_;
  }
  void send_signal(int signal) const { ::kill(pid_, signal); }
  std::string output() const { return contents(output_); }
  std::string errors() const { return contents(errors_); }
  // What the stream holds once it holds `text`, or after `limit` otherwise.
  std::string wait_for(Stream stream, std::string_view text, std::chrono::milliseconds limit) const {
    const auto deadline = Clock::now() + limit;
    std::string seen;
    while ((seen = contents(stream == Stream::Output ? output_ : errors_)).find(text) == std::string::npos &&
           Clock::now() < deadline)
      std::this_thread::sleep_for(10ms);
    return seen;
  }

 private:
  static std::string contents(std::FILE* file) {
    std::ifstream in("/proc/self/fd/" + std::to_string(::fileno(file)));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::FILE* output_;
  std::FILE* errors_;
  pid_t pid_ = -1;
  std::optional<int> code_;
};

std::vector<std::uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The left side of received voice blocks.
void add_left_side(std::span<const std::uint8_t> blocks, std::vector<std::int16_t>& samples) {
  for (std::size_t at = 0; at + 4 <= blocks.size(); at += 4) samples.push_back(read_i16_le(blocks, at));
}

class DemoOnTheNetwork : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/marvok-demo-test-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    folder_ = name;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string path(const char* name) const { return (folder_ / name).string(); }

  // The web service on a free port, serving a certificate of a test authority.
  int start_web_service() {
    const std::string certificates = path("certificates");
    if (std::system((std::string(MARVOK_CERTIFICATE_SCRIPT) + " " + certificates).c_str()) != 0) return 0;
    web_.emplace(std::vector<std::string>{MARVOK_WEB_EXECUTABLE, "serve", "--database", path("members.sqlite"),
                                          "--certificate", certificates + "/server.pem", "--key",
                                          certificates + "/server.key", "--address", "127.0.0.1", "--port", "0"});
    const std::string line = web_->wait_for(Process::Stream::Output, " (database", 10s);
    const std::size_t colon = line.rfind(':', line.find(" (database"));
    int port = 0;
    if (colon != std::string::npos) std::from_chars(line.data() + colon + 1, line.data() + line.size(), port);
    return port;
  }

  // A second of 1000 Hz for the demo to speak, at path("tone.wav").
  void make_tone() {
    std::string error;
    auto tone = VoiceRecorder::open(path("tone.wav"), error);
    ASSERT_TRUE(tone) << error;
    const auto blocks = to_voice_blocks(testing::sine(1000.0, 8000, 8000.0, 8000), 1);
    for (const auto& block : blocks.value()) tone->add_block(block);
  }

  Process start_demo(std::vector<std::string> options) {
    options.insert(options.begin(), {MARVOK_DEMO_EXECUTABLE, "--relay", "127.0.0.1", "--web-host", "127.0.0.1",
                                     "--ca-file", path("certificates/ca.pem")});
    return Process(std::move(options));
  }

  std::filesystem::path folder_;
  std::optional<Process> web_;
};

TEST_F(DemoOnTheNetwork, SpeaksItsSoundToTheChannelAndRecordsWhatItHears) {
  const int web_port = start_web_service();
  ASSERT_NE(web_port, 0) << "marvok-web did not serve";
  ASSERT_NO_FATAL_FAILURE(make_tone());
  RunningRelay relay;
  TestClient peer(900);
  peer.join(0);

  Process demo = start_demo({"--web-port", std::to_string(web_port), "--sound", path("tone.wav"), "--record",
                             path("heard.wav"), "--count", "1"});
  const std::string joined =
      "marvok-demo: member 1 \"Membre 1\" (machine 7000000000000007) on channel 0 via relay 127.0.0.1\n";
  ASSERT_EQ(demo.wait_for(Process::Stream::Output, joined, 10s), joined) << demo.errors();
  ASSERT_TRUE(peer.wait_until_listed(0, 1));

  // The peer speaks a second of 500 Hz before the demo's first utterance, 3 s after it joined.
  for (int i = 0; i < 32; ++i) {
    peer.speak(0, relay_server::testing::tone_block(500.0, 6000.0, i * 250));
    peer.send_presence(0);
    std::this_thread::sleep_for(31ms);
  }
  std::vector<std::int16_t> heard;
  Clock::time_point first_block, last_block;
  for (const auto deadline = Clock::now() + 8s; heard.size() < 8000 && Clock::now() < deadline;) {
    peer.send_presence(0);
    const auto datagram = peer.receive_voice(100ms);
    const auto voice = datagram ? relay::read_incoming_voice(*datagram) : std::nullopt;
    if (!voice || voice->speaker != 1 || !voice->pcm) continue;
    (heard.empty() ? first_block : last_block) = Clock::now();
    add_left_side(*voice->pcm, heard);
  }
  // 32 blocks at the pace of speech: 31 block times between the first and the last.
  EXPECT_NEAR(std::chrono::duration<double>(last_block - first_block).count(), 0.969, 0.05);
  EXPECT_EQ(demo.exit_code(5s), 0) << demo.errors();
  EXPECT_EQ(demo.output(), joined + "marvok-demo: speaking \"" + path("tone.wav") + "\" (1.0 s)\n");

  ASSERT_EQ(heard.size(), 8000u);
  EXPECT_NEAR(testing::crossing_frequency(heard, 8000), 1000.0, 2.0);
  EXPECT_NEAR(testing::rms(heard), 8000.0 / std::sqrt(2.0), 100.0);

  const std::vector<std::uint8_t> file = read_file(path("heard.wav"));
  const auto recorded = parse_wave_file(file);
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->channels, 2);
  EXPECT_EQ(recorded->frames_per_second, 8000u);
  EXPECT_EQ(recorded->bits_per_sample, 16);
  std::vector<std::int16_t> recorded_left;
  add_left_side(recorded->samples, recorded_left);
  EXPECT_EQ(recorded_left.size(), 8000u);
  EXPECT_NEAR(testing::crossing_frequency(recorded_left, 8000), 500.0, 2.0);
}

TEST_F(DemoOnTheNetwork, JoinsAndSpeaksInTheChannelItIsGiven) {
  const int web_port = start_web_service();
  ASSERT_NE(web_port, 0) << "marvok-web did not serve";
  ASSERT_NO_FATAL_FAILURE(make_tone());
  RunningRelay relay;
  TestClient peer(900);
  peer.join(8);

  Process demo = start_demo(
      {"--web-port", std::to_string(web_port), "--sound", path("tone.wav"), "--count", "1", "--channel", "8"});
  const std::string joined =
      "marvok-demo: member 1 \"Membre 1\" (machine 7000000000000007) on channel 8 via relay 127.0.0.1\n";
  ASSERT_EQ(demo.wait_for(Process::Stream::Output, joined, 10s), joined) << demo.errors();
  ASSERT_TRUE(peer.wait_until_listed(8, 1));
  EXPECT_TRUE(peer.wait_until_listed(0, 1, false));

  // The relay forwards speech only within the speaker's channel.
  int blocks = 0;
  for (const auto deadline = Clock::now() + 8s; blocks < 32 && Clock::now() < deadline;) {
    peer.send_presence(8);
    const auto datagram = peer.receive_voice(100ms);
    const auto voice = datagram ? relay::read_incoming_voice(*datagram) : std::nullopt;
    if (voice && voice->speaker == 1 && voice->pcm) ++blocks;
  }
  EXPECT_EQ(blocks, 32);
  EXPECT_EQ(demo.exit_code(5s), 0) << demo.errors();
}

TEST_F(DemoOnTheNetwork, WaitsForAnAbsentWebServiceAndEndsWhenAsked) {
  Process demo = start_demo({"--web-port", "1", "--record", path("heard.wav")});
  const std::string errors = demo.wait_for(Process::Stream::Errors, "trying again in 5 s", 5s);
  EXPECT_NE(errors.find("marvok-demo: the web service at https://127.0.0.1:1 cannot be reached; trying again in 5 s"),
            std::string::npos)
      << errors;
  demo.send_signal(SIGTERM);
  EXPECT_EQ(demo.exit_code(2s), 0);
  EXPECT_EQ(demo.output(), "");
  // The record, empty, is still a whole wave file.
  EXPECT_TRUE(parse_wave_file(read_file(path("heard.wav"))));
}

TEST_F(DemoOnTheNetwork, BadOptionsEndWithTheUsage) {
  for (const char* bad : {"--count=-1", "--sound", "--channel=11"}) {
    Process demo({MARVOK_DEMO_EXECUTABLE, bad});
    EXPECT_EQ(demo.exit_code(5s), 2) << bad;
    EXPECT_NE(demo.errors().find("Usage: marvok-demo"), std::string::npos) << bad;
  }
}

}  // namespace
}  // namespace marvok::demo
