// How fast the relay server forwards speech at scale: members spread over the
// 11 channels each keep a voice and a control socket as a client does, say
// hello, send presence and control turns, and some in every channel talk, one
// voice datagram per block period; every member checks what reaches it. The
// relay runs its event loops on threads of their own (all on --relay-cpu when
// given), one thread sends for every member and two receive with epoll.
// Prints figures and never fails on time.
//   relay_forwarding_bench [--seconds N] [--members N] [--talkers-per-channel N]
//                          [--threads N] [--relay-cpu N] [--clients-cpu N]
//                          [--relay-address IPV4]
//   relay_forwarding_bench N      (N seconds; 5 by default, 2000 members, 10 talkers a channel)
// --relay-address sends to a relay already serving at that address (a gateway
// or another host, see relay_hosts_bench.sh) instead of starting one here; it
// must admit all the members behind this machine's one address
// (--max-clients-per-address).
#include <pthread.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <queue>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/udp_socket.h"
#include "relay/datagrams.h"
#include "relay_server.h"

namespace {

using namespace marvok;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr int kFastPresenceChannel = 3;
constexpr auto kPresencePeriod = 20ms;
constexpr auto kFastPresencePeriod = 15ms;
constexpr auto kVoicePeriod = 31250us;
// A client's control turn lasts about 0.7 s when the relay answers.
constexpr auto kControlTurn = 700ms;
constexpr auto kWarmUp = 1500ms;
constexpr auto kDrainTime = 300ms;
constexpr auto kLate = 5ms;
constexpr int kReceiveThreads = 2;
constexpr int kReceiveBatch = 32;
// Room for the speech of a channel's talkers while a receiving thread waits for the core.
constexpr int kMemberReceiveBufferBytes = 1 << 20;

struct Options {
  double seconds = 5.0;
  int members = 2000;
  int talkers_per_channel = 10;
  int threads = 1;  // the relay's event loops
  std::optional<int> relay_cpu;
  std::optional<int> clients_cpu;
  // Set: the relay runs elsewhere, at this address.
  std::optional<std::uint32_t> relay_address;
};

struct Member {
  std::uint32_t relay_address = kLoopback;
  platform::UdpSocket voice;
  platform::UdpSocket control;
  std::uint16_t number = 0;
  int channel = 0;
  bool talks = false;
  std::uint8_t voice_sequence = 0;
  int presence_cycle = 0;
  bool list_turn = true;
  int rotation = 0;
};

// What one receiving thread saw.
struct Received {
  std::uint64_t speech = 0;
  std::uint64_t sequence_gaps = 0;
  std::uint64_t control_replies = 0;
  std::vector<std::uint32_t> delays_us;
};

struct Sent {
  std::uint64_t presence = 0;
  std::uint64_t voice = 0;
  std::uint64_t control = 0;
  std::uint64_t expected = 0;  // forwarded datagrams the listeners should get
  // Sends that came more than kLate after their time: the clients' core is
  // saturated, and the figures say more about it than about the relay.
  std::uint64_t late = 0;
};

enum class Due : std::uint8_t { Presence, Voice, Control };

struct Event {
  Clock::time_point when;
  int member;
  Due what;
  bool operator>(const Event& other) const { return when > other.when; }
};

using Schedule = std::priority_queue<Event, std::vector<Event>, std::greater<>>;

std::int64_t ticks(Clock::time_point when) { return when.time_since_epoch().count(); }

Clock::duration presence_period(int channel) {
  return channel == kFastPresenceChannel ? Clock::duration(kFastPresencePeriod) : Clock::duration(kPresencePeriod);
}

std::optional<int> number_from(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

// Unknown or unreadable options keep their defaults, so the bench always runs.
Options options_from(int argc, char** argv) {
  Options options;
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view name = arguments[i];
    const std::string_view value = i + 1 < arguments.size() ? arguments[i + 1] : "";
    double seconds = 0;
    if (name.substr(0, 2) != "--") {
      if (std::from_chars(name.data(), name.data() + name.size(), seconds).ec == std::errc{} && seconds > 0)
        options.seconds = seconds;
      continue;
    }
    ++i;
    const auto number = number_from(value);
    if (name == "--seconds" && std::from_chars(value.data(), value.data() + value.size(), seconds).ec == std::errc{} &&
        seconds > 0) {
      options.seconds = seconds;
    } else if (name == "--members" && number && *number >= relay::kChannelCount) {
      options.members = *number;
    } else if (name == "--talkers-per-channel" && number) {
      options.talkers_per_channel = *number;
    } else if (name == "--threads" && number && *number >= 1 && *number <= relay::kChannelCount) {
      options.threads = *number;
    } else if (name == "--relay-cpu" && number) {
      options.relay_cpu = *number;
    } else if (name == "--clients-cpu" && number) {
      options.clients_cpu = *number;
    } else if (name == "--relay-address") {
      options.relay_address = platform::parse_ipv4(value);
    }
  }
  return options;
}

void pin(pthread_t thread, std::optional<int> cpu) {
  if (!cpu) return;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(*cpu, &set);
  if (::pthread_setaffinity_np(thread, sizeof set, &set) != 0) std::fprintf(stderr, "cannot pin to cpu %d\n", *cpu);
}

// Two sockets a member, and the relay's own: more than the usual 1024 descriptors.
void allow_descriptors(int members) {
  const rlim_t needed = static_cast<rlim_t>(members) * 2 + 256;
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_cur >= needed) return;
  limit.rlim_cur = needed;
  limit.rlim_max = std::max(limit.rlim_max, needed);
  if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
    std::fprintf(stderr, "cannot allow %llu open files\n", static_cast<unsigned long long>(needed));
    std::exit(1);
  }
}

platform::UdpSocket open_socket(int receive_buffer_bytes) {
  auto socket = platform::UdpSocket::open_ephemeral();
  if (!socket) {
    std::fprintf(stderr, "cannot open a socket: %s\n", std::strerror(errno));
    std::exit(1);
  }
  ::setsockopt(socket->descriptor(), SOL_SOCKET, SO_RCVBUF, &receive_buffer_bytes, sizeof receive_buffer_bytes);
  return std::move(*socket);
}

std::vector<Member> make_members(const Options& options) {
  std::vector<Member> members(static_cast<std::size_t>(options.members));
  std::vector<int> talkers(relay::kChannelCount, 0);
  for (int i = 0; i < options.members; ++i) {
    Member& member = members[static_cast<std::size_t>(i)];
    member.relay_address = options.relay_address.value_or(kLoopback);
    member.voice = open_socket(kMemberReceiveBufferBytes);
    member.control = open_socket(64 * 1024);
    member.number = static_cast<std::uint16_t>(1000 + i);
    member.channel = i % relay::kChannelCount;
    int& channel_talkers = talkers[static_cast<std::size_t>(member.channel)];
    member.talks = channel_talkers < options.talkers_per_channel;
    if (member.talks) ++channel_talkers;
  }
  return members;
}

std::vector<int> channel_sizes(const std::vector<Member>& members) {
  std::vector<int> sizes(relay::kChannelCount, 0);
  for (const Member& member : members) ++sizes[static_cast<std::size_t>(member.channel)];
  return sizes;
}

void send_to(const Member& member, const platform::UdpSocket& socket, const relay::Buffer& buffer, std::size_t size,
             int port) {
  socket.send_to(std::span(buffer.data(), size), {member.relay_address, static_cast<std::uint16_t>(port)});
}

void say_hello(const Member& member, relay::Buffer& buffer) {
  send_to(member, member.voice, buffer, relay::write_voice_hello(buffer), relay::voice_port_of(0));
  send_to(member, member.control, buffer, relay::write_control_hello(buffer), relay::voice_port_of(0));
}

void send_presence(Member& member, relay::Buffer& buffer, Sent& sent) {
  constexpr relay::PresenceVariant kByCycle[] = {relay::PresenceVariant::Version, relay::PresenceVariant::Name,
                                                 relay::PresenceVariant::Device};
  member.presence_cycle = (member.presence_cycle + 1) % 3;
  const std::size_t size =
      relay::write_presence(buffer, kByCycle[member.presence_cycle], member.number, "0.7.8", "1234567890123456");
  send_to(member, member.voice, buffer, size, relay::voice_port_of(member.channel));
  ++sent.presence;
}

// The send time rides in the first eight bytes of the audio.
void send_voice(Member& member, relay::Buffer& buffer, Sent& sent) {
  std::array<std::uint8_t, relay::kVoiceBlockSize> block{};
  const std::int64_t now = ticks(Clock::now());
  std::memcpy(block.data(), &now, sizeof now);
  send_to(member, member.voice, buffer,
          relay::write_outgoing_voice(buffer, member.voice_sequence++, member.number, block),
          relay::voice_port_of(member.channel));
  ++sent.voice;
}

// As a client's control worker: two list requests, then an alive, turn by turn.
void send_control_turn(Member& member, relay::Buffer& buffer, Sent& sent) {
  if (member.list_turn) {
    send_to(member, member.control, buffer, relay::write_list_request(buffer), relay::control_port_of(member.channel));
    send_to(member, member.control, buffer, relay::write_list_request(buffer), relay::control_port_of(member.rotation));
    member.rotation = (member.rotation + 1) % relay::kChannelCount;
    sent.control += 2;
  } else {
    send_to(member, member.control, buffer, relay::write_alive(buffer), relay::control_port_of(member.channel));
    ++sent.control;
  }
  member.list_turn = !member.list_turn;
}

// Sends everything due until `until`; voice only when `talking`.
void send_until(std::vector<Member>& members, Schedule& schedule, Clock::time_point until, bool talking,
                const std::vector<int>& sizes, Sent& sent) {
  relay::Buffer buffer{};
  while (!schedule.empty()) {
    const Event next = schedule.top();
    const Clock::time_point now = Clock::now();
    if (next.when >= until || now >= until) return;
    if (next.when > now) {
      const auto wake = timespec{static_cast<time_t>(ticks(next.when) / 1'000'000'000),
                                 static_cast<long>(ticks(next.when) % 1'000'000'000)};
      ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
    } else if (now - next.when > kLate) {
      ++sent.late;
    }
    schedule.pop();
    Member& member = members[static_cast<std::size_t>(next.member)];
    switch (next.what) {
      case Due::Presence:
        send_presence(member, buffer, sent);
        schedule.push({next.when + presence_period(member.channel), next.member, Due::Presence});
        break;
      case Due::Control:
        send_control_turn(member, buffer, sent);
        schedule.push({next.when + kControlTurn, next.member, Due::Control});
        break;
      case Due::Voice:
        if (!talking) break;
        send_voice(member, buffer, sent);
        sent.expected += static_cast<std::uint64_t>(sizes[static_cast<std::size_t>(member.channel)] - 1);
        schedule.push({next.when + kVoicePeriod, next.member, Due::Voice});
        break;
    }
  }
}

void take_speech(std::optional<std::uint8_t>& expected_sequence, relay::Bytes datagram, Clock::time_point arrived,
                 Received& received) {
  const auto voice = relay::read_incoming_voice(datagram);
  if (!voice || !voice->pcm) return;
  std::int64_t sent = 0;
  std::memcpy(&sent, voice->pcm->data(), sizeof sent);
  const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(Clock::duration(ticks(arrived) - sent));
  received.delays_us.push_back(static_cast<std::uint32_t>(std::max<std::int64_t>(delay.count(), 0)));
  ++received.speech;
  if (expected_sequence && voice->sequence != *expected_sequence) ++received.sequence_gaps;
  expected_sequence = static_cast<std::uint8_t>(voice->sequence + 1);
}

// Reads the sockets of members `first`, `first + step`, ... until `stop`.
void receive_loop(std::vector<Member>& members, int first, int step, const std::atomic<bool>& stop,
                  Received& received) {
  const int watcher = ::epoll_create1(EPOLL_CLOEXEC);
  std::vector<std::optional<std::uint8_t>> expected_sequence(members.size());
  for (std::size_t i = static_cast<std::size_t>(first); i < members.size(); i += static_cast<std::size_t>(step)) {
    epoll_event voice{EPOLLIN, {.u64 = i << 1}};
    epoll_event control{EPOLLIN, {.u64 = i << 1 | 1}};
    ::epoll_ctl(watcher, EPOLL_CTL_ADD, members[i].voice.descriptor(), &voice);
    ::epoll_ctl(watcher, EPOLL_CTL_ADD, members[i].control.descriptor(), &control);
  }
  std::vector<relay::Buffer> buffers(kReceiveBatch);
  std::array<iovec, kReceiveBatch> parts{};
  std::array<mmsghdr, kReceiveBatch> messages{};
  for (std::size_t i = 0; i < parts.size(); ++i) {
    parts[i] = {buffers[i].data(), buffers[i].size()};
    messages[i].msg_hdr.msg_iov = &parts[i];
    messages[i].msg_hdr.msg_iovlen = 1;
  }
  std::array<epoll_event, 256> ready{};
  while (!stop.load(std::memory_order_relaxed)) {
    const int count = ::epoll_wait(watcher, ready.data(), static_cast<int>(ready.size()), 10);
    for (int r = 0; r < count; ++r) {
      const std::uint64_t tag = ready[static_cast<std::size_t>(r)].data.u64;
      const std::size_t index = tag >> 1;
      const bool control = (tag & 1) != 0;
      const int fd = control ? members[index].control.descriptor() : members[index].voice.descriptor();
      int got = 0;
      do {
        got = ::recvmmsg(fd, messages.data(), kReceiveBatch, MSG_DONTWAIT, nullptr);
        const Clock::time_point arrived = Clock::now();
        for (int m = 0; m < got; ++m) {
          const auto& message = messages[static_cast<std::size_t>(m)];
          if (control) {
            ++received.control_replies;
          } else {
            take_speech(expected_sequence[index],
                        relay::Bytes(buffers[static_cast<std::size_t>(m)].data(), message.msg_len), arrived, received);
          }
        }
      } while (got == kReceiveBatch);
    }
  }
  ::close(watcher);
}

std::uint32_t percentile(std::vector<std::uint32_t>& values, double fraction) {
  if (values.empty()) return 0;
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
  return values[at];
}

double cpu_seconds(pthread_t thread) {
  clockid_t clock{};
  timespec used{};
  if (::pthread_getcpuclockid(thread, &clock) != 0 || ::clock_gettime(clock, &used) != 0) return 0;
  return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

double process_cpu_seconds() {
  timespec used{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

// `c` is null when the relay runs elsewhere, and `relay_cpu` then means nothing.
void print_figures(const Options& options, const Sent& sent, Received& received, double relay_cpu, double clients_cpu,
                   const relay_server::RelayCounters* c) {
  const double seconds = options.seconds;
  const std::string loops = c == nullptr ? "relay elsewhere" : std::to_string(options.threads) + " event loop(s)";
  std::printf("relay forwarding: %d members on %d channels, %d talking a channel, %s, %.1f s\n", options.members,
              relay::kChannelCount, options.talkers_per_channel, loops.c_str(), seconds);
  std::printf("  speech sent:          %llu datagrams of 1024 bytes\n", static_cast<unsigned long long>(sent.voice));
  std::printf("  forwarded:            %llu datagrams, %.0f per second\n",
              static_cast<unsigned long long>(received.speech), static_cast<double>(received.speech) / seconds);
  const std::uint32_t median = percentile(received.delays_us, 0.5);
  const std::uint32_t p99 = percentile(received.delays_us, 0.99);
  std::printf("  forwarding delay:     median %u us, p99 %u us, max %u us\n", median, p99,
              percentile(received.delays_us, 1.0));
  std::printf("  lost:                 %lld of %llu expected (sequence gaps seen: %llu)\n",
              static_cast<long long>(sent.expected) - static_cast<long long>(received.speech),
              static_cast<unsigned long long>(sent.expected), static_cast<unsigned long long>(received.sequence_gaps));
  std::printf("  presence sent:        %llu datagrams; control %llu, answered %llu\n",
              static_cast<unsigned long long>(sent.presence), static_cast<unsigned long long>(sent.control),
              static_cast<unsigned long long>(received.control_replies));
  if (c == nullptr) {
    std::string address = platform::format_endpoint({*options.relay_address, 0});
    address.resize(address.rfind(':'));
    std::printf("  relay:                at %s, not measured here\n", address.c_str());
  } else {
    std::printf("  relay:                %llu in, %llu out, %llu bad, %llu send failures; %.1f%% of one core\n",
                static_cast<unsigned long long>(c->datagrams_in), static_cast<unsigned long long>(c->datagrams_out),
                static_cast<unsigned long long>(c->bad_datagrams), static_cast<unsigned long long>(c->send_failures),
                100.0 * relay_cpu / seconds);
    std::printf("  relay per core:       %.0f datagrams forwarded per CPU second\n",
                relay_cpu > 0 ? static_cast<double>(received.speech) / relay_cpu : 0.0);
  }
  std::printf("  clients:              %.1f%% of one core; %llu sends more than 5 ms late\n",
              100.0 * clients_cpu / seconds, static_cast<unsigned long long>(sent.late));
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = options_from(argc, argv);
  allow_descriptors(options.members);
  std::FILE* quiet = std::fopen("/dev/null", "w");
  std::optional<relay_server::RelayServer> server;
  std::thread relay_thread;
  if (!options.relay_address) {
    relay_server::RelayConfig config;
    config.address = kLoopback;
    config.log = quiet;
    // Every member sends from 127.0.0.1.
    config.max_clients_per_address = static_cast<std::size_t>(options.members);
    config.threads = options.threads;
    server.emplace(config);
    std::string error;
    if (!server->open(error)) {
      std::fprintf(stderr, "relay did not start: %s\n", error.c_str());
      return 1;
    }
    // Pinned before it starts its event loops, which take its place.
    relay_thread = std::thread([&server, &options] {
      pin(::pthread_self(), options.relay_cpu);
      server->run();
    });
  }
  pin(::pthread_self(), options.clients_cpu);

  std::vector<Member> members = make_members(options);
  const std::vector<int> sizes = channel_sizes(members);
  std::atomic<bool> stop_receiving{false};
  std::vector<Received> received(kReceiveThreads);
  std::vector<std::thread> receivers;
  for (int t = 0; t < kReceiveThreads; ++t) {
    receivers.emplace_back(receive_loop, std::ref(members), t, kReceiveThreads, std::cref(stop_receiving),
                           std::ref(received[static_cast<std::size_t>(t)]));
  }
  for (auto& receiver : receivers) pin(receiver.native_handle(), options.clients_cpu);

  // Spread the members over each period, as independent clients would be.
  Schedule schedule;
  relay::Buffer buffer{};
  const Clock::time_point start = Clock::now();
  const auto count = static_cast<int>(members.size());
  for (int i = 0; i < count; ++i) {
    const Member& member = members[static_cast<std::size_t>(i)];
    say_hello(member, buffer);
    schedule.push({start + presence_period(member.channel) * i / count, i, Due::Presence});
    schedule.push({start + kControlTurn * i / count, i, Due::Control});
  }
  Sent warm_up;
  send_until(members, schedule, start + kWarmUp, false, sizes, warm_up);

  Sent sent;
  const Clock::time_point measuring = Clock::now();
  const int talkers = relay::kChannelCount * options.talkers_per_channel;
  int talker = 0;
  for (int i = 0; i < count; ++i) {
    if (members[static_cast<std::size_t>(i)].talks)
      schedule.push({measuring + kVoicePeriod * talker++ / std::max(talkers, 1), i, Due::Voice});
  }
  for (auto& each : received) each.delays_us.reserve(static_cast<std::size_t>(options.seconds * 700'000));
  // The relay's loops are its own threads: the process less the members' threads.
  const auto clients_cpu_seconds = [&receivers] {
    double used = cpu_seconds(::pthread_self());
    for (auto& receiver : receivers) used += cpu_seconds(receiver.native_handle());
    return used;
  };
  const double clients_before = clients_cpu_seconds();
  const double process_before = process_cpu_seconds();
  const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds));
  send_until(members, schedule, measuring + period, true, sizes, sent);
  const double clients_used = clients_cpu_seconds() - clients_before;
  const double relay_used = process_cpu_seconds() - process_before - clients_used;
  // Let the last speech arrive.
  Sent drain;
  send_until(members, schedule, Clock::now() + kDrainTime, false, sizes, drain);

  stop_receiving = true;
  for (auto& receiver : receivers) receiver.join();
  std::optional<relay_server::RelayCounters> counters;
  if (server) {
    server->stop();
    relay_thread.join();
    counters = server->counters();
  }
  Received all;
  for (auto& each : received) {
    all.speech += each.speech;
    all.sequence_gaps += each.sequence_gaps;
    all.control_replies += each.control_replies;
    all.delays_us.insert(all.delays_us.end(), each.delays_us.begin(), each.delays_us.end());
  }
  print_figures(options, sent, all, relay_used, clients_used, counters ? &*counters : nullptr);
  std::fclose(quiet);
  return 0;
}
