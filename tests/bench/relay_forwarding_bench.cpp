// How fast the relay server forwards speech: 200 members on the 11 channels
// send presence, 10 of them talk, and every member checks what reaches it.
// One thread plays all the members; the relay runs on a second one. Prints
// figures and never fails on time.
//   relay_forwarding_bench [[--seconds] N]   (5 seconds by default)
#include <poll.h>
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#include "relay/datagrams.h"
#include "relay_server.h"

namespace {

using namespace marvok;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr int kMembers = 200;
constexpr int kTalkers = 10;
constexpr int kFastPresenceChannel = 3;
constexpr auto kPresencePeriod = 20ms;
constexpr auto kFastPresencePeriod = 15ms;
constexpr auto kVoicePeriod = 31250us;
constexpr auto kWarmUp = 500ms;
constexpr auto kDrainTime = 300ms;

struct Member {
  platform::UdpSocket socket;
  std::uint16_t number = 0;
  int channel = 0;
  bool talks = false;
  Clock::time_point next_presence;
  Clock::time_point next_voice;
  std::uint8_t voice_sequence = 0;
  std::optional<std::uint8_t> expected_sequence;  // of the next speech datagram it receives
};

struct Figures {
  std::uint64_t presence_sent = 0;
  std::uint64_t voice_sent = 0;
  std::uint64_t expected = 0;  // forwarded datagrams the listeners should get
  std::uint64_t received = 0;
  std::uint64_t sequence_gaps = 0;
  std::vector<std::uint32_t> delays_us;
};

std::int64_t ticks(Clock::time_point when) { return when.time_since_epoch().count(); }

Clock::duration presence_period(int channel) {
  return channel == kFastPresenceChannel ? Clock::duration(kFastPresencePeriod) : Clock::duration(kPresencePeriod);
}

std::vector<Member> make_members(Clock::time_point start) {
  std::vector<Member> members(kMembers);
  for (int i = 0; i < kMembers; ++i) {
    Member& member = members[static_cast<std::size_t>(i)];
    auto socket = platform::UdpSocket::open_ephemeral();
    if (!socket) {
      std::fprintf(stderr, "cannot open a socket for member %d\n", i);
      std::exit(1);
    }
    member.socket = std::move(*socket);
    member.number = static_cast<std::uint16_t>(1000 + i);
    member.channel = i % relay::kChannelCount;
    member.talks = i < kTalkers;
    // Spread the members over the period, as independent clients would be.
    member.next_presence = start + presence_period(member.channel) * i / kMembers;
  }
  return members;
}

std::vector<int> channel_sizes(const std::vector<Member>& members) {
  std::vector<int> sizes(relay::kChannelCount, 0);
  for (const Member& member : members) ++sizes[static_cast<std::size_t>(member.channel)];
  return sizes;
}

void send_to_channel(const Member& member, const relay::Buffer& buffer, std::size_t size) {
  member.socket.send_to(std::span(buffer.data(), size),
                        {kLoopback, static_cast<std::uint16_t>(relay::voice_port_of(member.channel))});
}

void send_presence(Member& member, relay::Buffer& buffer, Figures& figures) {
  const auto variant = figures.presence_sent % 3 == 0 ? relay::PresenceVariant::Version : relay::PresenceVariant::Name;
  send_to_channel(member, buffer, relay::write_presence(buffer, variant, member.number, "0.7.8", "DEVICE.ID"));
  ++figures.presence_sent;
}

// The send time rides in the first eight bytes of the audio.
void send_voice(Member& member, relay::Buffer& buffer, Figures& figures) {
  std::array<std::uint8_t, relay::kVoiceBlockSize> block{};
  const std::int64_t now = ticks(Clock::now());
  std::memcpy(block.data(), &now, sizeof now);
  send_to_channel(member, buffer, relay::write_outgoing_voice(buffer, member.voice_sequence++, member.number, block));
  ++figures.voice_sent;
}

void take_speech(Member& member, relay::Bytes datagram, Figures& figures) {
  const Clock::time_point arrived = Clock::now();
  const auto voice = relay::read_incoming_voice(datagram);
  if (!voice || !voice->pcm) return;
  std::int64_t sent = 0;
  std::memcpy(&sent, voice->pcm->data(), sizeof sent);
  const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(Clock::duration(ticks(arrived) - sent));
  figures.delays_us.push_back(static_cast<std::uint32_t>(std::max<std::int64_t>(delay.count(), 0)));
  ++figures.received;
  if (member.expected_sequence && voice->sequence != *member.expected_sequence) ++figures.sequence_gaps;
  member.expected_sequence = static_cast<std::uint8_t>(voice->sequence + 1);
}

void receive_waiting(std::vector<Member>& members, std::vector<pollfd>& watch, relay::Buffer& buffer,
                     Figures& figures) {
  for (std::size_t i = 0; i < members.size(); ++i) {
    if ((watch[i].revents & POLLIN) == 0) continue;
    while (const auto received = members[i].socket.receive(buffer))
      take_speech(members[i], relay::Bytes(buffer.data(), received->size), figures);
  }
}

// Plays every member until `until`; talkers speak only when `talking`.
void simulate(std::vector<Member>& members, Clock::time_point until, bool talking, Figures& figures,
              const std::vector<int>& sizes) {
  std::vector<pollfd> watch;
  for (const Member& member : members) watch.push_back({member.socket.descriptor(), POLLIN, 0});
  relay::Buffer out{};
  relay::Buffer in{};
  while (true) {
    const Clock::time_point now = Clock::now();
    if (now >= until) return;
    Clock::time_point next_due = until;
    for (Member& member : members) {
      if (member.next_presence <= now) {
        send_presence(member, out, figures);
        member.next_presence += presence_period(member.channel);
      }
      if (talking && member.talks && member.next_voice <= now) {
        send_voice(member, out, figures);
        figures.expected += static_cast<std::uint64_t>(sizes[static_cast<std::size_t>(member.channel)] - 1);
        member.next_voice += kVoicePeriod;
      }
      next_due = std::min(next_due, member.next_presence);
      if (talking && member.talks) next_due = std::min(next_due, member.next_voice);
    }
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(next_due - Clock::now(), {}));
    const timespec timeout{static_cast<time_t>(wait.count() / 1'000'000'000),
                           static_cast<long>(wait.count() % 1'000'000'000)};
    if (::ppoll(watch.data(), watch.size(), &timeout, nullptr) > 0) receive_waiting(members, watch, in, figures);
  }
}

std::uint32_t percentile(std::vector<std::uint32_t> values, double fraction) {
  if (values.empty()) return 0;
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
  return values[at];
}

double thread_cpu_seconds(std::thread& thread) {
  clockid_t clock{};
  timespec used{};
  if (::pthread_getcpuclockid(thread.native_handle(), &clock) != 0 || ::clock_gettime(clock, &used) != 0) return 0;
  return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

// "--seconds N", or just N; 5 when absent or unreadable.
double seconds_from(int argc, char** argv) {
  std::string_view text = argc > 1 ? argv[1] : "";
  if (text == "--seconds") text = argc > 2 ? argv[2] : "";
  double seconds = 0;
  if (std::from_chars(text.data(), text.data() + text.size(), seconds).ec == std::errc{} && seconds > 0) return seconds;
  return 5.0;
}

void print_figures(const Figures& figures, double seconds, double relay_cpu, const relay_server::RelayCounters& c) {
  std::printf("relay forwarding: %d members on %d channels, %d talking, %.1f s\n", kMembers, relay::kChannelCount,
              kTalkers, seconds);
  std::printf("  speech sent:          %llu datagrams of 1024 bytes\n",
              static_cast<unsigned long long>(figures.voice_sent));
  std::printf("  forwarded:            %llu datagrams, %.0f per second\n",
              static_cast<unsigned long long>(figures.received), static_cast<double>(figures.received) / seconds);
  std::printf("  forwarding delay:     median %u us, p99 %u us, max %u us\n", percentile(figures.delays_us, 0.5),
              percentile(figures.delays_us, 0.99), percentile(figures.delays_us, 1.0));
  std::printf("  lost:                 %lld of %llu expected (sequence gaps seen: %llu)\n",
              static_cast<long long>(figures.expected) - static_cast<long long>(figures.received),
              static_cast<unsigned long long>(figures.expected),
              static_cast<unsigned long long>(figures.sequence_gaps));
  std::printf("  presence sent:        %llu datagrams\n", static_cast<unsigned long long>(figures.presence_sent));
  std::printf("  relay:                %llu in, %llu out, %llu bad, %llu send failures; %.1f%% of one core\n",
              static_cast<unsigned long long>(c.datagrams_in), static_cast<unsigned long long>(c.datagrams_out),
              static_cast<unsigned long long>(c.bad_datagrams), static_cast<unsigned long long>(c.send_failures),
              100.0 * relay_cpu / seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = seconds_from(argc, argv);
  std::FILE* quiet = std::fopen("/dev/null", "w");
  relay_server::RelayConfig config;
  config.address = kLoopback;
  config.log = quiet;
  relay_server::RelayServer server(config);
  std::string error;
  if (!server.open(error)) {
    std::fprintf(stderr, "relay did not start: %s\n", error.c_str());
    return 1;
  }
  std::thread relay_thread([&server] { server.run(); });

  const Clock::time_point start = Clock::now();
  std::vector<Member> members = make_members(start);
  const std::vector<int> sizes = channel_sizes(members);
  Figures warm_up;
  simulate(members, start + kWarmUp, false, warm_up, sizes);

  Figures figures;
  figures.delays_us.reserve(static_cast<std::size_t>(seconds * 8000));
  const Clock::time_point measuring = Clock::now();
  for (int i = 0; i < kMembers; ++i)
    members[static_cast<std::size_t>(i)].next_voice = measuring + kVoicePeriod * i / kTalkers;
  const double cpu_before = thread_cpu_seconds(relay_thread);
  simulate(members, measuring + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)),
           true, figures, sizes);
  const double cpu_used = thread_cpu_seconds(relay_thread) - cpu_before;
  // Let the last speech arrive.
  simulate(members, Clock::now() + kDrainTime, false, figures, sizes);

  server.stop();
  relay_thread.join();
  print_figures(figures, seconds, cpu_used, server.counters());
  std::fclose(quiet);
  return 0;
}
