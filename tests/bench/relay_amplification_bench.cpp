// How much the relay sends toward an address for what was sent from it, when
// that address is forged. A member talks on a channel with a listener, both
// sending presence as clients do; the "attacker" sends from 127.0.0.2, which
// the relay cannot tell from forging that address, and every byte reaching
// 127.0.0.2 counts against it. Prints figures and never fails on them.
//   relay_amplification_bench [EVENT_LOOPS]      (1 by default)
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "relay/datagrams.h"
#include "relay_server.h"

namespace {

using namespace marvok;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr std::uint32_t kVictim = 0x7F000002;
constexpr int kChannel = 2;
constexpr auto kPresencePeriod = 20ms;
constexpr auto kVoicePeriod = 31250us;

struct Scenario {
  const char* name;
  int presences = 0;         // forged, one a presence period from the start
  int list_requests = 0;     // forged, one a presence period from the start
  bool from_member = false;  // the list requests come from the listener's own address
  std::chrono::milliseconds watched;
};

struct Tally {
  std::uint64_t datagrams = 0;
  std::uint64_t bytes = 0;
};

platform::UdpSocket open_socket(std::uint32_t address) {
  auto socket = platform::UdpSocket::open_bound({address, 0});
  if (!socket) {
    std::fprintf(stderr, "cannot open a socket on the address %08x\n", address);
    std::exit(1);
  }
  return std::move(*socket);
}

void send(const platform::UdpSocket& socket, const relay::Buffer& buffer, std::size_t size, int port, Tally* tally) {
  if (!socket.send_to(std::span(buffer.data(), size), {kLoopback, static_cast<std::uint16_t>(port)})) return;
  if (tally == nullptr) return;
  ++tally->datagrams;
  tally->bytes += size;
}

std::size_t presence(relay::Buffer& buffer, std::uint16_t member) {
  return relay::write_presence(buffer, relay::PresenceVariant::Name, member, "0.7.8", "1234567890123456");
}

void drain(const platform::UdpSocket& socket, Tally& tally) {
  relay::Buffer buffer{};
  while (socket.wait_readable(0ms) == platform::UdpSocket::Wait::Readable) {
    const auto received = socket.receive(buffer);
    if (!received) return;
    ++tally.datagrams;
    tally.bytes += received->size;
  }
}

void run(const Scenario& scenario, int threads) {
  std::FILE* quiet = std::fopen("/dev/null", "w");
  relay_server::RelayConfig config;
  config.address = kLoopback;
  config.log = quiet;
  config.threads = threads;
  relay_server::RelayServer server(config);
  std::string error;
  if (!server.open(error)) {
    std::fprintf(stderr, "relay did not start: %s\n", error.c_str());
    std::exit(1);
  }
  std::thread relay_thread([&server] { server.run(); });

  const platform::UdpSocket talker = open_socket(kLoopback);
  const platform::UdpSocket listener = open_socket(kLoopback);
  const platform::UdpSocket listener_control = open_socket(kLoopback);
  const platform::UdpSocket victim = open_socket(kVictim);
  const platform::UdpSocket& asker = scenario.from_member ? listener_control : victim;
  relay::Buffer buffer{};
  send(listener_control, buffer, relay::write_control_hello(buffer), relay::voice_port_of(0), nullptr);

  Tally attacker_sent;
  Tally drawn;
  Tally member_sent;
  Tally member_got;
  const Clock::time_point start = Clock::now();
  Clock::time_point next_presence = start;
  Clock::time_point next_voice = start + 200ms;  // once both members are admitted
  std::array<std::uint8_t, relay::kVoiceBlockSize> block{};
  int period = 0;
  while (Clock::now() - start < scenario.watched) {
    if (Clock::now() >= next_presence) {
      send(talker, buffer, presence(buffer, 1), relay::voice_port_of(kChannel), nullptr);
      send(listener, buffer, presence(buffer, 2), relay::voice_port_of(kChannel), &member_sent);
      if (period < scenario.presences)
        send(victim, buffer, presence(buffer, 3), relay::voice_port_of(kChannel), &attacker_sent);
      if (period < scenario.list_requests && next_presence >= start + 200ms)
        send(asker, buffer, relay::write_list_request(buffer), relay::control_port_of(kChannel), &attacker_sent);
      ++period;
      next_presence += kPresencePeriod;
    }
    if (Clock::now() >= next_voice) {
      send(talker, buffer, relay::write_outgoing_voice(buffer, 0, 1, block), relay::voice_port_of(kChannel), nullptr);
      next_voice += kVoicePeriod;
    }
    std::this_thread::sleep_until(std::min(next_presence, next_voice));
    drain(victim, drawn);
    if (scenario.from_member) {
      drain(listener_control, drawn);
    } else {
      drain(listener, member_got);
    }
  }
  std::this_thread::sleep_for(100ms);
  drain(victim, drawn);
  server.stop();
  relay_thread.join();
  std::fclose(quiet);

  std::printf(
      "%-46s sent %4llu datagrams, %5llu bytes; drew %4llu datagrams, %7llu bytes: x%.1f\n", scenario.name,
      static_cast<unsigned long long>(attacker_sent.datagrams), static_cast<unsigned long long>(attacker_sent.bytes),
      static_cast<unsigned long long>(drawn.datagrams), static_cast<unsigned long long>(drawn.bytes),
      attacker_sent.bytes > 0 ? static_cast<double>(drawn.bytes) / static_cast<double>(attacker_sent.bytes) : 0.0);
  if (!scenario.from_member && scenario.list_requests == 0) {
    std::printf("%-46s sent %4llu datagrams, %5llu bytes; got  %4llu datagrams, %7llu bytes: x%.1f\n",
                "  (the real listener alongside)", static_cast<unsigned long long>(member_sent.datagrams),
                static_cast<unsigned long long>(member_sent.bytes),
                static_cast<unsigned long long>(member_got.datagrams),
                static_cast<unsigned long long>(member_got.bytes),
                static_cast<double>(member_got.bytes) / static_cast<double>(member_sent.bytes));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int threads =
      argc > 1 ? std::clamp(static_cast<int>(std::strtol(argv[1], nullptr, 10)), 1, relay::kChannelCount) : 1;
  const Scenario scenarios[] = {
      {"one forged presence, 3.5 s watched", 1, 0, false, 3500ms},
      {"three forged presences in 40 ms, 3.5 s watched", 3, 0, false, 3500ms},
      {"forged presence stream for 2 s, 3.5 s watched", 100, 0, false, 3500ms},
      {"forged list requests, 50/s for 1 s", 0, 50, false, 1300ms},
      {"list requests from a member's address, 50/s", 0, 50, true, 1300ms},
  };
  std::printf("relay amplification, %d event loop(s): bytes toward the sending address / bytes it sent\n", threads);
  for (const Scenario& scenario : scenarios) run(scenario, threads);
  return 0;
}
