// The companion's end of the link on real loopback sockets: what each
// datagram asks for, and where the push-to-talk reports go.
#include "companion_server.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace marvok::talksrv {
namespace {

using namespace std::chrono_literals;
using platform::Endpoint;
using platform::UdpSocket;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kLoopback = 0x7F000001;

TEST(CompanionServerTest, ReadsEachKindOfDatagram) {
  struct Case {
    const char* name;
    Bytes datagram;
    Request::Kind kind;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"plain text", {0x01, 'B', 'o', 'n', 'j', 'o', 'u', 'r'}, Request::Kind::Speak, "Bonjour"},
      {"accent, quote and euro from the code page",
       {0x01, 'l', 0x92, 0xE9, 't', 0xE9, ' ', '5', 0x80},
       Request::Kind::Speak,
       "l\u2019\u00E9t\u00E9 5\u20AC"},
      {"a byte the code page leaves unused", {0x01, 'a', 0x81}, Request::Kind::Speak, "a\uFFFD"},
      {"NUL and control codes part words", {0x01, 'a', 0x00, 'b', '\n', 'c'}, Request::Kind::Speak, "a b c"},
      {"empty text", {0x01}, Request::Kind::Speak, ""},
      {"quit", {0xFF}, Request::Kind::Quit, ""},
      {"quit with trailing bytes", {0xFF, 'x'}, Request::Kind::Quit, ""},
      {"unknown first byte", {0x02, 'a'}, Request::Kind::Ignore, ""},
      {"a report echoed back", {'T'}, Request::Kind::Ignore, ""},
      {"nothing", {}, Request::Kind::Ignore, ""},
  };
  for (const Case& c : cases) {
    const Request request = read_request(c.datagram);
    EXPECT_EQ(request.kind, c.kind) << c.name;
    EXPECT_EQ(request.utf8_text, c.text) << c.name;
  }
}

// A client: a loopback socket that sends requests and collects reports.
struct Client {
  UdpSocket socket = UdpSocket::open_bound({kLoopback, 0}).value();

  std::optional<Bytes> next(std::chrono::milliseconds within) const {
    if (socket.wait_readable(within) != UdpSocket::Wait::Readable) return std::nullopt;
    std::array<std::uint8_t, 64> buffer{};
    const auto got = socket.receive(buffer);
    if (!got) return std::nullopt;
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got->size));
  }
};

class ServingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_);
    to_ = server_->socket().local_endpoint().value();
    thread_ = std::jthread([this](const std::stop_token& stop) { server_->run(stop, handlers_); });
  }

  void send(const Client& client, const Bytes& datagram) const { ASSERT_TRUE(client.socket.send_to(datagram, to_)); }

  std::vector<std::string> wait_for_texts(std::size_t count) {
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < until) {
      {
        const std::lock_guard lock(mutex_);
        if (texts_.size() >= count) return texts_;
      }
      std::this_thread::sleep_for(5ms);
    }
    const std::lock_guard lock(mutex_);
    return texts_;
  }

  std::unique_ptr<CompanionServer> server_ = CompanionServer::open({kLoopback, 0});
  Endpoint to_;
  std::mutex mutex_;
  std::vector<std::string> texts_;
  int quits_ = 0;
  CompanionServer::Handlers handlers_{[this](std::string text) {
                                        const std::lock_guard lock(mutex_);
                                        texts_.push_back(std::move(text));
                                      },
                                      [this] {
                                        const std::lock_guard lock(mutex_);
                                        texts_.emplace_back("<quit>");
                                      }};
  std::jthread thread_;
};

TEST_F(ServingTest, HandsOnRequestsInOrderAndReportsToTheLastSender) {
  Client first;
  Client second;
  server_->report(Report::Talk);  // nobody to send to yet: dropped
  EXPECT_FALSE(first.next(100ms));

  send(first, {0x01, 'a', 0xE9});
  send(first, {0x07});
  Bytes huge(60000, 'x');  // far beyond what the client sends: read whole, not cut
  huge[0] = 0x01;
  send(first, huge);
  send(second, {0xFF});
  const auto texts = wait_for_texts(3);
  ASSERT_EQ(texts.size(), 3U);
  EXPECT_EQ(texts[0], "a\u00E9");
  EXPECT_EQ(texts[1].size(), huge.size() - 1);
  EXPECT_EQ(texts[2], "<quit>");

  server_->report(Report::Talk);
  server_->report(Report::Release);
  EXPECT_EQ(second.next(1s), Bytes{'T'});
  EXPECT_EQ(second.next(1s), Bytes{'R'});
  EXPECT_FALSE(first.next(100ms)) << "reports go to the last sender only";

  // Even an ignored datagram names the sender to report to.
  send(first, {0x07});
  std::this_thread::sleep_for(200ms);
  server_->report(Report::Talk);
  EXPECT_EQ(first.next(1s), Bytes{'T'});
}

TEST(CompanionServerOpenTest, RefusesAPortInUse) {
  const auto first = CompanionServer::open({kLoopback, 0});
  ASSERT_TRUE(first);
  EXPECT_FALSE(CompanionServer::open(first->socket().local_endpoint().value()));
}

}  // namespace
}  // namespace marvok::talksrv
