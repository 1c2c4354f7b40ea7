// Drives the relay's handling with any sequence of datagrams from any of a few
// senders, on any port, with the clock moving and operator lines coming in,
// without sockets. Every datagram the relay would send must be one a client
// reads whole: a member list of the port's channel or a notice on control
// ports, the block just spoken or an Opus packet on voice ports, only to
// someone who has spoken to it.
//
// The input is a series of records:
//   byte 0  what comes: 0 voice port, 1 control port, 2 clock tick, 3 operator
//           input (low two bits), and the channel (the rest, modulo 11)
//   byte 1  the sender: one of 4 addresses (high bits) and 16 ports (low bits)
//   byte 2  how far the clock moves first, in 16 ms steps
//   bytes 3-4  the datagram's length, little-endian, modulo 1025
//   then the datagram's bytes, as many as remain when fewer.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <utility>

#include "command_reader.h"
#include "operator_commands.h"
#include "relay.h"
#include "relay/datagrams.h"

namespace {

using marvok::platform::Endpoint;
using namespace marvok::relay_server;
namespace relay = marvok::relay;

enum class Arrival { VoicePort, ControlPort, Tick, OperatorInput };

std::FILE* null_file() {
  static std::FILE* const file = std::fopen("/dev/null", "w");
  return file;
}

std::uint64_t key_of(const Endpoint& endpoint) { return std::uint64_t{endpoint.address} << 16 | endpoint.port; }

// What the relay is doing when it sends, so each datagram out can be judged.
struct Expectation {
  Arrival arrival = Arrival::Tick;
  int channel = 0;
  std::optional<std::span<const std::uint8_t>> spoken_block;
};

class CheckingOutput : public RelayOutput {
 public:
  bool send_from(RelayPort port, int channel, std::span<const std::uint8_t> datagram,
                 const Endpoint& to) const override {
    if (!relay::is_channel(channel)) __builtin_trap();
    if (datagram.empty() || datagram.size() > relay::kMaxDatagramSize) __builtin_trap();
    if (!senders_.contains(key_of(to))) __builtin_trap();
    if (port == RelayPort::Control)
      check_control(channel, datagram);
    else
      check_voice(datagram);
    return true;
  }

  void heard_from(const Endpoint& sender) { senders_.insert(key_of(sender)); }
  Expectation expectation;

 private:
  void check_control(int channel, std::span<const std::uint8_t> datagram) const {
    if (const auto list = relay::read_member_list(datagram)) {
      // Lists answer a request on the same channel's control port, at once,
      // or when the presence that admits its asker arrives.
      if (expectation.arrival == Arrival::Tick || expectation.arrival == Arrival::OperatorInput ||
          list->channel != channel)
        __builtin_trap();
      if (list->count < 0 || datagram.size() != 3 + 2 * static_cast<std::size_t>(list->count)) __builtin_trap();
      const auto members = std::span(list->members).first(static_cast<std::size_t>(list->count));
      for (std::size_t i = 0; i < members.size(); ++i)
        if (std::count(members.begin(), members.end(), members[i]) != 1) __builtin_trap();
      return;
    }
    const auto notice = relay::read_notice(datagram);
    if (!notice || datagram.size() != 3) __builtin_trap();
    if (*notice != relay::kNoticeVersionTooOld && *notice != relay::kNoticeSupervisorCloses) __builtin_trap();
    if (*notice == relay::kNoticeSupervisorCloses && expectation.arrival != Arrival::OperatorInput) __builtin_trap();
  }

  void check_voice(std::span<const std::uint8_t> datagram) const {
    // Speech goes out only while speech comes in.
    if (expectation.arrival != Arrival::VoicePort || !expectation.spoken_block) __builtin_trap();
    const auto voice = relay::read_incoming_voice(datagram);
    if (!voice) __builtin_trap();
    if (voice->kind == relay::VoiceKind::Opus) {
      if (!voice->opus || voice->opus->empty() || voice->opus->size() > relay::kMaxOpusPacketSize) __builtin_trap();
      if (datagram.size() != relay::kVoiceHeaderSize + voice->opus->size()) __builtin_trap();
      return;
    }
    if (voice->kind != relay::VoiceKind::PcmA || !voice->pcm || datagram.size() != relay::kVoiceDatagramSize)
      __builtin_trap();
    if (!std::ranges::equal(*voice->pcm, *expectation.spoken_block)) __builtin_trap();
  }

  std::set<std::uint64_t> senders_;
};

// Operator lines run as the relay's event loop runs them.
void run_operator_lines(CommandReader& reader, Relay& relay) {
  reader.read_available();
  while (const auto line = reader.next_line()) {
    if (line->size() >= 256 || line->find('\n') != std::string_view::npos) __builtin_trap();
    const auto command = parse_operator_command(*line);
    if (!command) continue;
    switch (command->kind) {
      case OperatorCommand::Kind::List: {
        std::string lines;
        relay.describe_clients(lines);
        break;
      }
      case OperatorCommand::Kind::CloseAll: relay.close_all(); break;
      case OperatorCommand::Kind::CloseMember: relay.close_member(command->member); break;
    }
  }
}

RelayConfig fuzz_config() {
  RelayConfig config;
  config.min_version = parse_client_version("0.7.8");
  // Odd channels re-code speech to Opus, even ones forward it raw.
  for (int channel = 1; channel < relay::kChannelCount; channel += 2) config.opus_channels.set(channel);
  config.log = null_file();
  config.command_output = null_file();
  // Fewer slots than the inputs' 64 client sockets: a full relay is reached,
  // and each input builds a small relay rather than one for thousands.
  config.capacity = 32;
  return config;
}

class Pipe {
 public:
  Pipe() {
    if (::pipe2(ends_, O_NONBLOCK | O_CLOEXEC) != 0) __builtin_trap();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  ~Pipe() {
    ::close(ends_[0]);
    ::close(ends_[1]);
  }
  int read_end() const { return ends_[0]; }
  bool write(std::span<const std::uint8_t> bytes) const {
    return ::write(ends_[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

 private:
  int ends_[2]{-1, -1};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const RelayConfig config = fuzz_config();
  RelayLog log(null_file());
  CheckingOutput output;
  Clock::time_point now = Clock::time_point{} + std::chrono::hours(1);
  Relay relay(config, output, log, now);
  const Pipe commands;
  CommandReader reader(commands.read_end());

  std::span<const std::uint8_t> input(data, size);
  std::uint64_t delivered = 0;
  while (input.size() >= 5) {
    const auto arrival = static_cast<Arrival>(input[0] & 3);
    const int channel = (input[0] >> 2) % relay::kChannelCount;
    const Endpoint from{0x7F000001u + (input[1] >> 4 & 3u), static_cast<std::uint16_t>(40000 + (input[1] & 15))};
    now += std::chrono::milliseconds(16 * input[2]);
    const std::size_t wanted = (input[3] | std::size_t{input[4]} << 8) % (relay::kMaxDatagramSize + 1);
    input = input.subspan(5);
    const auto datagram = input.first(std::min(wanted, input.size()));
    input = input.subspan(datagram.size());

    output.expectation = {arrival, channel, std::nullopt};
    switch (arrival) {
      case Arrival::VoicePort:
      case Arrival::ControlPort:
        // The sockets drop empty datagrams before the relay sees them.
        if (datagram.empty()) break;
        ++delivered;
        output.heard_from(from);
        if (arrival == Arrival::VoicePort) {
          if (const auto voice = relay::read_outgoing_voice(datagram)) output.expectation.spoken_block = voice->block;
          relay.on_voice_port(channel, from, datagram, now);
        } else {
          relay.on_control_port(channel, from, datagram, now);
        }
        break;
      case Arrival::Tick: relay.on_tick(now); break;
      case Arrival::OperatorInput:
        // A line may come in pieces. The event loop reads again while input
        // waits, at most a buffer's worth each time.
        if (!datagram.empty() && commands.write(datagram))
          for (std::size_t read = 0; read <= datagram.size(); read += 256) run_operator_lines(reader, relay);
        break;
    }
  }
  const RelayCounters& counters = relay.counters();
  if (counters.datagrams_in != delivered || counters.send_failures != 0) __builtin_trap();
  if (counters.bad_datagrams + counters.stray_datagrams > counters.datagrams_in) __builtin_trap();
  return 0;
}
