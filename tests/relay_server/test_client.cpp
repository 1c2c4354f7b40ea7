#include "test_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>

#include "running_relay.h"

namespace marvok::relay_server::testing {

namespace {

constexpr int kFramesPerBlock = 250;
constexpr double kSampleRate = 8000.0;

platform::UdpSocket open_socket(std::uint32_t address) {
  auto socket = platform::UdpSocket::open_bound({address, 0});
  EXPECT_TRUE(socket.has_value());
  return socket ? std::move(*socket) : platform::UdpSocket{};
}

}  // namespace

TestClient::TestClient(std::uint16_t member, std::string version, std::uint32_t address)
    : member_(member),
      version_(std::move(version)),
      address_(address),
      voice_(open_socket(address)),
      control_(open_socket(address)) {}

platform::Endpoint TestClient::voice_endpoint() const { return voice_.local_endpoint().value_or(platform::Endpoint{}); }
platform::Endpoint TestClient::control_endpoint() const {
  return control_.local_endpoint().value_or(platform::Endpoint{});
}

void TestClient::send(const platform::UdpSocket& socket, int port, std::size_t size) {
  EXPECT_TRUE(socket.send_to(std::span(out_.data(), size), {relay_, static_cast<std::uint16_t>(port)}));
}

void TestClient::say_hello() {
  send_voice_hello();
  send_control_hello();
}

void TestClient::send_voice_hello() { send(voice_, relay::voice_port_of(0), relay::write_voice_hello(out_)); }

void TestClient::send_control_hello() { send(control_, relay::voice_port_of(0), relay::write_control_hello(out_)); }

void TestClient::send_presence(int channel, relay::PresenceVariant variant) {
  send(voice_, relay::voice_port_of(channel), relay::write_presence(out_, variant, member_, version_, "DEVICE.ID"));
}

void TestClient::send_presences(int channel) {
  send_presence(channel, relay::PresenceVariant::Name);
  send_presence(channel, relay::PresenceVariant::Device);
  send_presence(channel, relay::PresenceVariant::Version);
}

void TestClient::announce(int channel) {
  say_hello();
  send_presences(channel);
}

void TestClient::join(int channel) {
  say_hello();
  // Presence keeps coming, as from a running client: a busy relay may read
  // the first presences before the hello, which then starts the client over.
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  bool listed = false;
  while (!listed && std::chrono::steady_clock::now() < deadline) {
    send_presences(channel);
    listed = wait_until_listed(channel, member_, true, 500ms);
  }
  EXPECT_TRUE(listed) << "member " << member_ << " never joined " << channel;
}

void TestClient::speak(int channel, const Block& block) {
  send(voice_, relay::voice_port_of(channel), relay::write_outgoing_voice(out_, 0, member_, block));
}

void TestClient::send_list_request(int channel) {
  send(control_, relay::control_port_of(channel), relay::write_list_request(out_));
}

void TestClient::send_alive(int channel) { send(control_, relay::control_port_of(channel), relay::write_alive(out_)); }

void TestClient::reopen_control_socket() {
  auto replacement = open_socket(address_);
  control_ = std::move(replacement);
}

void TestClient::send_raw(int port, std::span<const std::uint8_t> bytes) {
  EXPECT_TRUE(voice_.send_to(bytes, {relay_, static_cast<std::uint16_t>(port)}));
}

std::optional<Datagram> TestClient::receive_voice(std::chrono::milliseconds timeout) {
  return receive_from(voice_, timeout);
}

std::optional<Datagram> TestClient::receive_control(std::chrono::milliseconds timeout) {
  if (!set_aside_.empty()) {
    Datagram first = std::move(set_aside_.front());
    set_aside_.pop_front();
    return first;
  }
  return receive_from(control_, timeout);
}

std::optional<relay::MemberList> TestClient::ask_members(int channel, std::chrono::milliseconds timeout) {
  send_list_request(channel);
  // Notices may arrive before the answer; keep them for receive_control().
  while (const auto answer = receive_from(control_, timeout)) {
    if (const auto list = relay::read_member_list(*answer)) return list;
    set_aside_.push_back(*answer);
  }
  return std::nullopt;
}

bool TestClient::wait_until_listed(int channel, std::uint16_t member, bool listed, std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto list = ask_members(channel);
    if (list) {
      const auto end = list->members.begin() + std::max(list->count, 0);
      if ((std::find(list->members.begin(), end, member) != end) == listed) return true;
    }
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

std::optional<Datagram> receive_from(const platform::UdpSocket& socket, std::chrono::milliseconds timeout) {
  if (socket.wait_readable(timeout) != platform::UdpSocket::Wait::Readable) return std::nullopt;
  relay::Buffer buffer{};
  const auto received = socket.receive(buffer);
  if (!received) return std::nullopt;
  return Datagram(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(received->size));
}

std::optional<std::uint8_t> notice_in(const std::optional<Datagram>& datagram) {
  if (!datagram) return std::nullopt;
  return relay::read_notice(*datagram);
}

Block filled_block(std::uint8_t value) {
  Block block;
  block.fill(value);
  return block;
}

Block tone_block(double frequency, double amplitude, int first_frame) {
  Block block{};
  for (int frame = 0; frame < kFramesPerBlock; ++frame) {
    const double phase = 2.0 * std::numbers::pi * frequency * (first_frame + frame) / kSampleRate;
    const auto sample = static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase)));
    const auto bits = static_cast<std::uint16_t>(sample);
    for (std::size_t side = 0; side < 2; ++side) {
      const std::size_t at = static_cast<std::size_t>(frame) * 4 + side * 2;
      block[at] = static_cast<std::uint8_t>(bits & 0xFF);
      block[at + 1] = static_cast<std::uint8_t>(bits >> 8);
    }
  }
  return block;
}

}  // namespace marvok::relay_server::testing
