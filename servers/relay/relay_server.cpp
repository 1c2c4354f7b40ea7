#include "relay_server.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>

#include "operator_commands.h"

namespace marvok::relay_server {

namespace {

constexpr auto kTickInterval = std::chrono::milliseconds(100);

constexpr std::size_t kVoiceSlot = 0;
constexpr std::size_t kControlSlot = relay::kChannelCount;
constexpr std::size_t kCommandSlot = 2 * relay::kChannelCount;
constexpr std::size_t kStopSlot = kCommandSlot + 1;
constexpr std::size_t kWatchCount = kStopSlot + 1;

int milliseconds_until(Clock::time_point when, Clock::time_point now) {
  if (when <= now) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(when - now).count());
}

// Unconnected UDP sockets rarely hold an error, but one left pending would
// make the wait report the socket forever.
void clear_pending_error(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
}

}  // namespace

RelayServer::RelayServer(RelayConfig config) : config_(config), log_(config.log), commands_(config.command_fd) {}

RelayServer::~RelayServer() {
  for (const int fd : stop_pipe_)
    if (fd >= 0) ::close(fd);
  if (watcher_ >= 0) ::close(watcher_);
}

bool RelayServer::open(std::string& error) {
  if (::pipe2(stop_pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("cannot make the stop pipe: ") + std::strerror(errno);
    return false;
  }
  watcher_ = ::epoll_create1(EPOLL_CLOEXEC);
  if (watcher_ < 0) {
    error = std::string("cannot make the event watcher: ") + std::strerror(errno);
    return false;
  }
  sockets_ = RelaySockets::open(config_.address, error);
  if (!sockets_) return false;
  // epoll rather than poll(): with thousands of clients the relay wakes for a
  // few datagrams at a time, and polling all 24 descriptors on every wake
  // cost a fifth of its core.
  bool watched = watch(stop_pipe_[0], kStopSlot);
  for (int channel = 0; channel < relay::kChannelCount; ++channel) {
    const auto index = static_cast<std::size_t>(channel);
    watched = watched && watch(sockets_->voice(channel).descriptor(), kVoiceSlot + index) &&
              watch(sockets_->control(channel).descriptor(), kControlSlot + index);
  }
  if (!watched) {
    error = std::string("cannot watch the ports: ") + std::strerror(errno);
    return false;
  }
  relay_.emplace(config_, *sockets_, log_, Clock::now());
  return true;
}

void RelayServer::stop() {
  if (stop_pipe_[1] < 0) return;
  const int saved_errno = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(stop_pipe_[1], &byte, 1);
  errno = saved_errno;
}

const RelayCounters& RelayServer::counters() const {
  static const RelayCounters kNone;
  return relay_ ? relay_->counters() : kNone;
}

bool RelayServer::watch(int fd, std::size_t slot) {
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = slot;
  return ::epoll_ctl(watcher_, EPOLL_CTL_ADD, fd, &event) == 0;
}

void RelayServer::run() {
  if (!relay_) return;
  // A file or /dev/null cannot be watched; it is always readable, so it is
  // read whole now.
  if (commands_.descriptor() >= 0 && !watch(commands_.descriptor(), kCommandSlot))
    while (commands_.descriptor() >= 0) read_commands();

  const auto text_of = [this](int port) {
    return platform::format_endpoint({config_.address, static_cast<std::uint16_t>(port)});
  };
  const std::string voice = text_of(relay::voice_port_of(0));
  const std::string control = text_of(relay::control_port_of(0));
  log_.write("serving voice on %s-%d and control on %s-%d", voice.c_str(),
             relay::voice_port_of(relay::kChannelCount - 1), control.c_str(),
             relay::control_port_of(relay::kChannelCount - 1));

  std::array<epoll_event, kWatchCount> ready{};
  Clock::time_point next_tick = Clock::now() + kTickInterval;
  while (true) {
    const int count = ::epoll_wait(watcher_, ready.data(), static_cast<int>(ready.size()),
                                   milliseconds_until(next_tick, Clock::now()));
    if (count < 0) {
      // A signal's wish to stop arrives through the stop pipe; other signals just interrupt.
      if (errno == EINTR) continue;
      log_.write("waiting for datagrams failed: %s", std::strerror(errno));
      break;
    }
    // Served in a fixed order, as the ports' datagrams were sent: a client's
    // hellos on channel 0's port come before its presence on its own.
    std::array<std::uint32_t, kWatchCount> events{};
    for (const epoll_event& event : std::span(ready.data(), static_cast<std::size_t>(count)))
      events[event.data.u64] = event.events;
    const Clock::time_point now = Clock::now();
    for (int channel = 0; channel < relay::kChannelCount; ++channel) {
      const auto index = static_cast<std::size_t>(channel);
      serve_port(events[kVoiceSlot + index], sockets_->voice(channel), channel, true, now);
      serve_port(events[kControlSlot + index], sockets_->control(channel), channel, false, now);
    }
    if (events[kCommandSlot] != 0) {
      const int fd = commands_.descriptor();
      read_commands();
      if (commands_.descriptor() < 0) ::epoll_ctl(watcher_, EPOLL_CTL_DEL, fd, nullptr);
    }
    if (now >= next_tick) {
      relay_->on_tick(now);
      next_tick = now + kTickInterval;
    }
    // Last, so commands typed before the stop still take effect.
    if (events[kStopSlot] != 0) break;
  }
  relay_->on_stop();
  log_.write("stopping");
}

void RelayServer::serve_port(std::uint32_t events, const platform::UdpSocket& socket, int channel, bool voice_port,
                             Clock::time_point now) {
  if ((events & EPOLLERR) != 0) clear_pending_error(socket.descriptor());
  if ((events & EPOLLIN) == 0) return;
  // One batch, so no port starves the others.
  const std::size_t count = in_.receive(socket);
  for (std::size_t slot = 0; slot < count; ++slot) {
    const relay::Bytes datagram = in_.datagram(slot);
    if (datagram.empty()) continue;
    if (voice_port) {
      relay_->on_voice_port(channel, in_.from(slot), datagram, now);
    } else {
      relay_->on_control_port(channel, in_.from(slot), datagram, now);
    }
  }
}

void RelayServer::read_commands() {
  commands_.read_available();
  while (const auto line = commands_.next_line()) run_command(*line);
}

void RelayServer::run_command(std::string_view line) {
  if (line.find_first_not_of(" \t\r") == std::string_view::npos) return;
  const auto command = parse_operator_command(line);
  std::FILE* out = config_.command_output;
  if (!command) {
    std::fprintf(out, "unknown command; try: close MEMBER, close all, list\n");
  } else if (command->kind == OperatorCommand::Kind::List) {
    relay_->print_clients(out);
  } else if (command->kind == OperatorCommand::Kind::CloseAll) {
    std::fprintf(out, "notice 240 sent to %d client(s)\n", relay_->close_all());
  } else {
    std::fprintf(out, "notice 240 sent to %d client(s) of member %u\n", relay_->close_member(command->member),
                 command->member);
  }
  std::fflush(out);
}

}  // namespace marvok::relay_server
