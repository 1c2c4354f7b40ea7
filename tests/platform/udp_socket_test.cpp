// UDP sockets on loopback, as the relay link and the companion link use them:
// the same cases hold on every system.
#include "platform/udp_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

#include "support/system_udp_socket.h"

namespace marvok::platform {
namespace {

using namespace std::chrono_literals;
using testing::SystemUdpSocket;

constexpr std::uint32_t kLoopback = 0x7F000001;

std::vector<std::uint8_t> counting_bytes(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
  return bytes;
}

class UdpSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto receiver = UdpSocket::open_bound({kLoopback, 0});
    auto sender = UdpSocket::open_bound({kLoopback, 0});
    ASSERT_TRUE(receiver && sender);
    receiver_ = std::move(*receiver);
    sender_ = std::move(*sender);
    to_receiver_ = *receiver_.local_endpoint();
  }

  void send(std::size_t size) { ASSERT_TRUE(sender_.send_to(counting_bytes(size), to_receiver_)); }
  bool arrives() { return receiver_.wait_readable(2s) == UdpSocket::Wait::Readable; }

  UdpSocket receiver_;
  UdpSocket sender_;
  Endpoint to_receiver_;
};

TEST(Ipv4TextTest, ParsesOnlyFourDecimalParts) {
  const struct {
    const char* text;
    std::optional<std::uint32_t> address;
  } cases[] = {
      {"127.0.0.1", 0x7F000001},
      {"0.0.0.0", 0},
      {"255.255.255.255", 0xFFFFFFFF},
      {"10.20.30.40", 0x0A141E28},
      {"256.0.0.1", {}},
      {"1.2.3", {}},
      {"1.2.3.4.5", {}},
      {"01.2.3.4", {}},
      {"1.2.3.4 ", {}},
      {" 1.2.3.4", {}},
      {"1..3.4", {}},
      {"1.2.3.-4", {}},
      {"", {}},
      {"0x7f.0.0.1", {}},
      {"1.2.3.4:5", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_ipv4(c.text), c.address) << '"' << c.text << '"';
  EXPECT_EQ(format_endpoint({0x7F000001, 30000}), "127.0.0.1:30000");
  EXPECT_EQ(format_endpoint({0xFFFFFFFF, 65535}), "255.255.255.255:65535");
}

TEST_F(UdpSocketTest, DatagramArrivesWithItsSender) {
  send(1024);
  ASSERT_TRUE(arrives());
  std::vector<std::uint8_t> buffer(1024);
  const auto received = receiver_.receive(buffer);
  ASSERT_TRUE(received);
  EXPECT_EQ(received->size, 1024u);
  EXPECT_EQ(buffer, counting_bytes(1024));
  EXPECT_EQ(received->from, *sender_.local_endpoint());
  EXPECT_FALSE(receiver_.receive(buffer));  // nothing else waiting, and no wait for it
}

// What a read gives for a datagram larger than its buffer, and for an empty
// one; the datagram behind it is read whole either way.
TEST_F(UdpSocketTest, OversizeAndEmptyDatagramsDoNotHarmTheNext) {
  const struct {
    std::size_t size;
    UdpSocket::Oversize oversize;
    std::size_t expected;  // 0: nothing returned
  } cases[] = {
      {100, UdpSocket::Oversize::Drop, 0}, {100, UdpSocket::Oversize::Cut, 10}, {10, UdpSocket::Oversize::Drop, 10},
      {0, UdpSocket::Oversize::Drop, 0},   {0, UdpSocket::Oversize::Cut, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.size << " bytes, cut " << (c.oversize == UdpSocket::Oversize::Cut));
    send(c.size);
    send(7);
    ASSERT_TRUE(arrives());
    std::vector<std::uint8_t> buffer(10);
    const auto first = receiver_.receive(buffer, c.oversize);
    EXPECT_EQ(first.has_value(), c.expected > 0);
    if (first) {
      EXPECT_EQ(first->size, c.expected);
      EXPECT_EQ(buffer, counting_bytes(10));
    }
    ASSERT_TRUE(arrives());
    const auto next = receiver_.receive(buffer, c.oversize);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->size, 7u);
  }
}

TEST_F(UdpSocketTest, ReceiveManyReadsWhatWaitsAndMarksWhatItCannotHold) {
  const std::size_t sizes[] = {5, 40, 0, 16, 17, 1};  // slots of 16 bytes
  for (const std::size_t size : sizes) send(size);
  std::this_thread::sleep_for(100ms);  // all of them queued before the read
  std::vector<std::uint8_t> area(16 * 8);
  std::array<UdpSocket::Received, 8> slots{};
  std::size_t read = 0;
  for (int attempt = 0; attempt < 20 && read < std::size(sizes); ++attempt) {
    if (!arrives()) break;
    read += receiver_.receive_many(std::span(area).subspan(read * 16), 16, std::span(slots).subspan(read));
  }
  ASSERT_EQ(read, std::size(sizes));
  const std::size_t expected[] = {5, 0, 0, 16, 0, 1};
  for (std::size_t i = 0; i < read; ++i) {
    EXPECT_EQ(slots[i].size, expected[i]) << "datagram " << i;
    EXPECT_EQ(slots[i].from, *sender_.local_endpoint());
  }
  EXPECT_EQ(std::vector(area.begin() + 48, area.begin() + 64), counting_bytes(16));
  EXPECT_EQ(receiver_.receive_many(area, 16, slots), 0u);
  // Slots that cannot hold anything read nothing.
  send(3);
  ASSERT_TRUE(arrives());
  EXPECT_EQ(receiver_.receive_many(area, 0, slots), 0u);
  EXPECT_EQ(receiver_.receive_many(std::span(area).first(8), 16, slots), 0u);
  EXPECT_EQ(receiver_.receive_many(area, 16, std::span(slots).first(0)), 0u);
  EXPECT_EQ(receiver_.receive_many(area, 16, slots), 1u);
}

// A send to a port where nobody listens draws an ICMP "port unreachable":
// the socket must go on receiving as before, as it does when the relay is down.
TEST_F(UdpSocketTest, SendToAClosedPortLeavesTheSocketWorking) {
  Endpoint closed;
  {
    auto gone = UdpSocket::open_bound({kLoopback, 0});
    ASSERT_TRUE(gone);
    closed = *gone->local_endpoint();
  }
  for (const bool many : {false, true, false}) {
    SCOPED_TRACE(many ? "receive_many" : "receive");
    ASSERT_TRUE(receiver_.send_to(counting_bytes(9), closed));
    std::this_thread::sleep_for(50ms);  // the ICMP answer comes back
    send(9);
    ASSERT_TRUE(arrives());
    std::vector<std::uint8_t> buffer(16);
    std::size_t size = 0;
    if (many) {
      std::array<UdpSocket::Received, 4> slots{};
      ASSERT_EQ(receiver_.receive_many(buffer, 16, slots), 1u);
      size = slots[0].size;
    } else {
      const auto received = receiver_.receive(buffer);
      ASSERT_TRUE(received);
      size = received->size;
    }
    EXPECT_EQ(size, 9u);
  }
  EXPECT_EQ(receiver_.wait_readable(50ms), UdpSocket::Wait::TimedOut);
}

TEST_F(UdpSocketTest, WaitTimesOutAndAClosedSocketFailsAtOnce) {
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(receiver_.wait_readable(100ms), UdpSocket::Wait::TimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 90ms);

  UdpSocket moved = std::move(receiver_);
  EXPECT_TRUE(moved.valid());
  EXPECT_FALSE(receiver_.valid());
  moved.close();
  for (const UdpSocket* socket : {&receiver_, &moved}) {
    started = std::chrono::steady_clock::now();
    EXPECT_EQ(socket->wait_readable(1s), UdpSocket::Wait::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 500ms);
    std::vector<std::uint8_t> buffer(16);
    std::array<UdpSocket::Received, 2> slots{};
    EXPECT_FALSE(socket->receive(buffer));
    EXPECT_EQ(socket->receive_many(buffer, 8, slots), 0u);
    EXPECT_FALSE(socket->send_to(buffer, to_receiver_));
    EXPECT_FALSE(socket->local_endpoint());
    EXPECT_EQ(socket->enlarge_receive_queue(1 << 20), 0);
  }
}

TEST_F(UdpSocketTest, ReceiveQueueGrowsOnRequest) {
  const int given = receiver_.enlarge_receive_queue(1 << 20);
  EXPECT_GT(given, 0);
  send(5);
  EXPECT_TRUE(arrives());
}

TEST_F(UdpSocketTest, BoundPortIsSeenInTheSystemTables) {
  EXPECT_EQ(udp_port_use(to_receiver_.port), PortUse::Bound);
  const std::uint16_t port = to_receiver_.port;
  receiver_.close();
  EXPECT_EQ(udp_port_use(port), PortUse::Free);

  for (const auto family : {SystemUdpSocket::Family::V4, SystemUdpSocket::Family::V6}) {
    const bool v6 = family == SystemUdpSocket::Family::V6;
    SCOPED_TRACE(v6 ? "IPv6" : "IPv4");
    SystemUdpSocket socket(family);
    if (socket.port() == 0 && v6) GTEST_SKIP() << "no IPv6 here";
    ASSERT_NE(socket.port(), 0);
    const std::uint16_t bound = socket.port();
    EXPECT_EQ(udp_port_use(bound), PortUse::Bound);
    socket.close();
    EXPECT_EQ(udp_port_use(bound), PortUse::Free);
  }
}

TEST(UdpSocketOpenTest, APortTakenCannotBeBoundTwice) {
  auto first = UdpSocket::open_bound({kLoopback, 0});
  ASSERT_TRUE(first);
  EXPECT_FALSE(UdpSocket::open_bound({kLoopback, first->local_endpoint()->port}));
  auto any = UdpSocket::open_ephemeral();
  ASSERT_TRUE(any);
  EXPECT_EQ(any->local_endpoint()->address, 0u);
  EXPECT_NE(any->local_endpoint()->port, 0);
}

// Several threads send on one socket at once while another receives.
TEST_F(UdpSocketTest, ConcurrentSendersLoseNothingOnLoopback) {
  constexpr int kThreads = 4;
  constexpr int kEach = 200;
  receiver_.enlarge_receive_queue(1 << 20);
  {
    std::vector<std::jthread> senders;
    for (int t = 0; t < kThreads; ++t) {
      senders.emplace_back([&] {
        for (int i = 0; i < kEach; ++i) EXPECT_TRUE(sender_.send_to(counting_bytes(64), to_receiver_));
      });
    }
  }
  int received = 0;
  std::vector<std::uint8_t> buffer(64);
  while (received < kThreads * kEach && arrives())
    while (receiver_.receive(buffer)) ++received;
  EXPECT_EQ(received, kThreads * kEach);
}

}  // namespace
}  // namespace marvok::platform
