#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/udp_socket.h"
#include "relay/datagrams.h"
#include "running_relay.h"

namespace marvok::relay_server::testing {

using namespace std::chrono_literals;
using Datagram = std::vector<std::uint8_t>;
using Block = std::array<std::uint8_t, relay::kVoiceBlockSize>;

// A client as the relay sees it: a voice socket and a control socket on
// a loopback address, speaking the client's datagrams.
class TestClient {
 public:
  explicit TestClient(std::uint16_t member, std::string version = "0.7.8", std::uint32_t address = kLoopback);

  std::uint16_t member() const { return member_; }
  // Sends to the relay host at `address` from now on (loopback's 127.0.0.1 at first).
  void use_relay(std::uint32_t address) { relay_ = address; }
  platform::Endpoint voice_endpoint() const;
  platform::Endpoint control_endpoint() const;

  // The start-up hellos: the voice hello, then the control hello, both to voice port 30000.
  void say_hello();
  void send_voice_hello();
  void send_control_hello();
  void send_presence(int channel, relay::PresenceVariant variant = relay::PresenceVariant::Name);
  // The presence variants in a row: enough for the relay to admit the client.
  void send_presences(int channel);
  // Hellos, then the presence variants.
  void announce(int channel);
  // Announces, then returns once the relay lists the member in the channel.
  void join(int channel);
  void speak(int channel, const Block& block);
  // From the control socket to the control port of `channel`.
  void send_list_request(int channel);
  void send_alive(int channel);
  // A new control socket on another port, as after the old one was lost.
  void reopen_control_socket();

  std::optional<Datagram> receive_voice(std::chrono::milliseconds timeout = 1000ms);
  // Datagrams to the control socket other than member lists, in order.
  std::optional<Datagram> receive_control(std::chrono::milliseconds timeout = 1000ms);
  // Asks for a channel's members and waits for the answer.
  std::optional<relay::MemberList> ask_members(int channel, std::chrono::milliseconds timeout = 1000ms);
  // Asks until the member shows in the channel's list (or no longer does); false on time-out.
  bool wait_until_listed(int channel, std::uint16_t member, bool listed = true,
                         std::chrono::milliseconds patience = std::chrono::seconds(5));

  // Sends raw bytes from the voice socket to any relay port.
  void send_raw(int port, std::span<const std::uint8_t> bytes);

 private:
  void send(const platform::UdpSocket& socket, int port, std::size_t size);

  std::uint16_t member_;
  std::string version_;
  std::uint32_t address_;
  std::uint32_t relay_ = kLoopback;
  platform::UdpSocket voice_;
  platform::UdpSocket control_;
  relay::Buffer out_{};
  std::deque<Datagram> set_aside_;
};

std::optional<Datagram> receive_from(const platform::UdpSocket& socket, std::chrono::milliseconds timeout);

// The code of a notice; nothing for no datagram or another kind.
std::optional<std::uint8_t> notice_in(const std::optional<Datagram>& datagram);

// Every byte set to `value`.
Block filled_block(std::uint8_t value);
// A stereo sine of `frequency` Hz, both sides alike, continuing from `first_frame`.
Block tone_block(double frequency, double amplitude, int first_frame);

}  // namespace marvok::relay_server::testing
