// The companion link on real loopback sockets, against a scripted companion
// on a port of its own, and the companion started from a temporary folder.
#include "companion/companion_link.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "companion/companion_receiver.h"
#include "platform/processes.h"

namespace marvok::companion {
namespace {

using namespace std::chrono_literals;
using platform::Endpoint;
using platform::UdpSocket;
using Bytes = std::vector<std::uint8_t>;
using StatusText = GuardedText<char16_t, 300>;

Bytes bytes_of(std::string_view text) { return {text.begin(), text.end()}; }

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds within = 5s) {
  const auto until = std::chrono::steady_clock::now() + within;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// Plays the companion: a loopback socket that records what the link sends.
class ScriptedCompanion {
 public:
  ScriptedCompanion() {
    if (auto socket = UdpSocket::open_bound({kLoopbackAddress, 0})) socket_ = std::move(*socket);
  }

  Endpoint address() const { return socket_.local_endpoint().value_or(Endpoint{}); }

  // The next datagram to arrive within `within`; nothing when none does.
  std::optional<Bytes> next(std::chrono::milliseconds within = 2s) {
    if (socket_.wait_readable(within) != UdpSocket::Wait::Readable) return std::nullopt;
    std::array<std::uint8_t, 2048> buffer{};
    const auto received = socket_.receive(buffer);
    if (!received) return std::nullopt;
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(received->size));
  }

  void report(const Bytes& datagram, const Endpoint& to) const { socket_.send_to(datagram, to); }

 private:
  UdpSocket socket_;
};

class CompanionLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(link_.open()); }

  CompanionLink make_link(std::string executable_name = "talksrv") {
    return CompanionLink({companion_.address(), std::move(executable_name), [this] { return folder_; }});
  }

  ScriptedCompanion companion_;
  std::optional<std::string> folder_;
  CompanionLink link_ = make_link();
};

TEST_F(CompanionLinkTest, SendsSpeechAndQuit) {
  struct Case {
    const char* name;
    std::function<void(const CompanionLink&)> send;
    Bytes expected;
  };
  Bytes cut_text{CompanionLink::kSpeak};
  cut_text.resize(201, 'a');
  const std::vector<Case> cases = {
      {"text cut to 200 bytes", [](const CompanionLink& l) { l.speak(std::string(250, 'a')); }, cut_text},
      {"empty text", [](const CompanionLink& l) { l.speak(std::string_view()); }, {0x01}},
      {"text in the code page", [](const CompanionLink& l) { l.speak(u"Dé€"); }, {0x01, 'D', 0xE9, 0x80}},
      {"quit", [](const CompanionLink& l) { l.quit(); }, {0xFF}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.send(link_);
    EXPECT_EQ(companion_.next(), c.expected);
  }
}

TEST_F(CompanionLinkTest, ListensOnLoopbackOnly) {
  const auto local = link_.socket().local_endpoint();
  ASSERT_TRUE(local);
  EXPECT_EQ(local->address, kLoopbackAddress);
  EXPECT_NE(local->port, 0);
}

TEST_F(CompanionLinkTest, ReportsMoveTheTalkKey) {
  TalkState talk;
  std::jthread receiver([&](std::stop_token stop) { run_companion_receiver(stop, link_, talk); });
  const Endpoint link_port = *link_.socket().local_endpoint();
  const ScriptedCompanion stranger;

  struct Step {
    const char* name;
    Bytes report;
    TalkValue expected;
    const ScriptedCompanion* from = nullptr;
  };
  // Each ignored report would change the key if it were taken.
  const std::vector<Step> steps = {
      {"lower-case t", bytes_of("t"), TalkValue::Released},
      {"T", bytes_of("T"), TalkValue::Pressed},
      {"lower-case r", bytes_of("r"), TalkValue::Pressed},
      {"R", bytes_of("R"), TalkValue::Released},
      {"long report of another letter", Bytes(2000, 'X'), TalkValue::Released},
      {"long T, cut to its start", Bytes(2000, 'T'), TalkValue::Pressed},
      {"only the first byte counts", bytes_of("RT"), TalkValue::Released},
      {"zero byte", {0x00}, TalkValue::Released},
      {"T from another sender", bytes_of("T"), TalkValue::Pressed, &stranger},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    (step.from ? *step.from : companion_).report(step.report, link_port);
    if (talk.key() != step.expected) {
      EXPECT_TRUE(eventually([&] { return talk.key() == step.expected; }));
    } else {
      std::this_thread::sleep_for(300ms);  // long enough for the receiver to have acted wrongly
    }
    EXPECT_EQ(talk.key(), step.expected);
  }
}

// A companion killed after its "T" never sends the "R": the transmitter is
// released once its socket has gone, and kept keyed while it lives.
TEST_F(CompanionLinkTest, AKeyPressedByACompanionThatDiedIsReleased) {
  TalkState talk;
  std::jthread receiver([&](std::stop_token stop) { run_companion_receiver(stop, link_, talk); });
  auto keying = std::make_optional<ScriptedCompanion>();
  keying->report(bytes_of("T"), *link_.socket().local_endpoint());
  ASSERT_TRUE(eventually([&] { return talk.key() == TalkValue::Pressed; }));
  std::this_thread::sleep_for(2500ms);
  EXPECT_EQ(talk.key(), TalkValue::Pressed);

  keying.reset();
  const auto died = std::chrono::steady_clock::now();
  EXPECT_TRUE(eventually([&] { return talk.key() == TalkValue::Released; }));
  EXPECT_LT(std::chrono::steady_clock::now() - died, 2s);
}

// The liveness check sees a companion's socket whichever family it is: a
// dual-stack IPv6 socket that reaches the link over IPv4 is listed as IPv6.
TEST(CompanionLivenessTest, SocketsOfBothFamiliesAreSeenUntilClosed) {
  for (const int family : {AF_INET, AF_INET6}) {
    SCOPED_TRACE(family == AF_INET ? "IPv4" : "dual-stack IPv6");
    const int fd = ::socket(family, SOCK_DGRAM, 0);
    if (fd < 0 && family == AF_INET6) GTEST_SKIP() << "no IPv6 here";
    ASSERT_GE(fd, 0);
    sockaddr_storage address{};
    address.ss_family = static_cast<sa_family_t>(family);
    const int off = 0;
    if (family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    socklen_t length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::uint16_t port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in&>(address).sin_port
                                                       : reinterpret_cast<sockaddr_in6&>(address).sin6_port);
    EXPECT_EQ(platform::udp_port_use(port), platform::PortUse::Bound);
    ::close(fd);
    EXPECT_EQ(platform::udp_port_use(port), platform::PortUse::Free);
  }
}

TEST_F(CompanionLinkTest, InertLinkSendsNothingAndItsReceiverStops) {
  const CompanionLink inert = make_link();
  inert.speak(std::string_view("bonjour"));
  inert.quit();
  EXPECT_FALSE(companion_.next(200ms));

  TalkState talk;
  std::jthread receiver([&](std::stop_token stop) { run_companion_receiver(stop, inert, talk); });
  std::this_thread::sleep_for(50ms);
  const auto stopping = std::chrono::steady_clock::now();
  receiver.request_stop();
  receiver.join();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, 1s);
}

TEST_F(CompanionLinkTest, ToggleWithoutCompanionToClose) {
  QTemporaryDir empty_folder;
  ASSERT_TRUE(empty_folder.isValid());
  struct Case {
    const char* name;
    std::optional<std::string> folder;
    std::u16string expected;
  };
  // A start that fails still says the companion is loaded.
  const std::vector<Case> cases = {
      {"own folder unknown", std::nullopt, u"Impossible de trouver Program Files"},
      {"nothing to start", empty_folder.path().toStdString(), u"Le synthétiseur est chargé"},
  };
  CompanionLink link = make_link("talksrv-absent");
  ASSERT_TRUE(link.open());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    folder_ = c.folder;
    StatusText status;
    link.toggle(status);
    EXPECT_EQ(status.get(), c.expected);
    EXPECT_FALSE(companion_.next(100ms));
  }
}

// Kills the started companion, whose shell leaves its process id beside it.
class StartedCompanion {
 public:
  explicit StartedCompanion(std::filesystem::path pid_file) : pid_file_(std::move(pid_file)) {}
  ~StartedCompanion() {
    int pid = 0;
    eventually([&] { return (std::ifstream(pid_file_) >> pid) && pid > 0; }, 2s);
    if (pid > 0) ::kill(pid, SIGKILL);
  }

 private:
  std::filesystem::path pid_file_;
};

std::string upper_case(std::string text) {
  std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// Longer names are cut in the kernel's own record of the process; they must
// still be found.
TEST_F(CompanionLinkTest, ToggleStartsThenClosesTheCompanion) {
  for (const std::string name : {"talksrv", "talksrv-speech-companion"}) {
    SCOPED_TRACE(name);
    ASSERT_FALSE(platform::is_process_running(name));
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::filesystem::path root = folder.path().toStdString();
    // The script hands over to `sleep` under the companion's own name.
    std::filesystem::create_directory(root / "real");
    std::filesystem::create_symlink("/bin/sleep", root / "real" / name);
    {
      std::ofstream script(root / name);
      script << "#!/bin/sh\necho $$ > \"${0%/*}/pid\"\nexec \"${0%/*}/real/" << name << "\" 30\n";
    }
    std::filesystem::permissions(root / name, std::filesystem::perms::owner_all);
    folder_ = root.string();
    CompanionLink link = make_link(name);
    ASSERT_TRUE(link.open());
    const StartedCompanion started(root / "pid");
    TalkState talk;
    std::jthread receiver([&](std::stop_token stop) { run_companion_receiver(stop, link, talk); });

    StatusText status;
    link.toggle(status);
    EXPECT_EQ(status.get(), u"Le synthétiseur est chargé");
    ASSERT_TRUE(eventually([&] { return platform::is_process_running(upper_case(name)); }));
    // The new companion is greeted, once: it learns where to send its key reports.
    const std::optional<Bytes> greeting = companion_.next();
    ASSERT_TRUE(greeting);
    EXPECT_EQ(greeting->front(), CompanionLink::kSpeak);
    EXPECT_EQ(std::string(greeting->begin() + 1, greeting->end()),
              "Bonjour. Le synth\xE9tiseur est actif. Sur la cl\xE9 droite de la souris");
    EXPECT_FALSE(companion_.next(700ms));

    link.toggle(status);
    EXPECT_EQ(status.get(), u"Le synthétiseur est fermé ou va se fermer");
    EXPECT_EQ(companion_.next(), Bytes{0xFF});
  }
}

TEST(ProcessesTest, FindsItsOwnExecutableIgnoringCase) {
  const auto folder = platform::own_executable_folder();
  ASSERT_TRUE(folder);
  EXPECT_TRUE(std::filesystem::exists(*folder + "/companion_tests"));
  struct Case {
    const char* name;
    bool running;
  };
  const std::vector<Case> cases = {
      {"companion_tests", true}, {"Companion_Tests", true}, {"companion_test", false}, {"companion_tests2", false}};
  for (const auto& c : cases) EXPECT_EQ(platform::is_process_running(c.name), c.running) << c.name;
}

}  // namespace
}  // namespace marvok::companion
