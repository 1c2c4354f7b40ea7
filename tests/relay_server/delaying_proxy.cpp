#include "delaying_proxy.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <queue>
#include <random>
#include <vector>

#include "relay/datagrams.h"
#include "running_relay.h"

namespace marvok::relay_server::testing {

namespace {

using Clock = std::chrono::steady_clock;

struct Held {
  Clock::time_point due;
  bool to_relay = false;
  std::vector<std::uint8_t> bytes;
  bool operator>(const Held& other) const { return due > other.due; }
};

platform::UdpSocket open_loopback_socket() {
  auto socket = platform::UdpSocket::open_bound({kLoopback, 0});
  EXPECT_TRUE(socket.has_value());
  return socket ? std::move(*socket) : platform::UdpSocket{};
}

}  // namespace

DelayingProxy::DelayingProxy(platform::Endpoint relay_port, std::chrono::milliseconds most)
    : relay_port_(relay_port),
      most_(most),
      client_side_(open_loopback_socket()),
      relay_side_(open_loopback_socket()),
      thread_([this](const std::stop_token& stop) { run(stop); }) {}

platform::Endpoint DelayingProxy::endpoint() const {
  return client_side_.local_endpoint().value_or(platform::Endpoint{});
}

void DelayingProxy::run(const std::stop_token& stop) {
  std::mt19937 random(1);
  std::uniform_int_distribution<long> delay_us(0, std::chrono::microseconds(most_).count());
  std::priority_queue<Held, std::vector<Held>, std::greater<>> held;
  std::optional<platform::Endpoint> client;
  relay::Buffer buffer{};
  std::array<pollfd, 2> watched{pollfd{client_side_.descriptor(), POLLIN, 0},
                                pollfd{relay_side_.descriptor(), POLLIN, 0}};
  while (!stop.stop_requested()) {
    ::poll(watched.data(), watched.size(), 1);
    for (const pollfd& side : watched) {
      if ((side.revents & POLLIN) == 0) continue;
      const bool from_client = side.fd == client_side_.descriptor();
      const auto received = (from_client ? client_side_ : relay_side_).receive(buffer);
      if (!received) continue;
      if (from_client) client = received->from;
      held.push({Clock::now() + std::chrono::microseconds(delay_us(random)),
                 from_client,
                 {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(received->size)}});
    }
    while (!held.empty() && held.top().due <= Clock::now()) {
      const Held& next = held.top();
      if (next.to_relay) {
        relay_side_.send_to(next.bytes, relay_port_);
      } else if (client) {
        client_side_.send_to(next.bytes, *client);
      }
      held.pop();
    }
  }
}

}  // namespace marvok::relay_server::testing
