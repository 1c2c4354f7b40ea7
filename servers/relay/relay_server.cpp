#include "relay_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
// make poll() report the socket forever.
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
}

bool RelayServer::open(std::string& error) {
  if (::pipe2(stop_pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("cannot make the stop pipe: ") + std::strerror(errno);
    return false;
  }
  sockets_ = RelaySockets::open(config_.address, error);
  if (!sockets_) return false;
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

void RelayServer::run() {
  if (!relay_) return;
  std::array<pollfd, kWatchCount> watch{};
  for (int channel = 0; channel < relay::kChannelCount; ++channel) {
    const auto index = static_cast<std::size_t>(channel);
    watch[kVoiceSlot + index] = {sockets_->voice(channel).descriptor(), POLLIN, 0};
    watch[kControlSlot + index] = {sockets_->control(channel).descriptor(), POLLIN, 0};
  }
  watch[kCommandSlot] = {commands_.descriptor(), POLLIN, 0};
  watch[kStopSlot] = {stop_pipe_[0], POLLIN, 0};

  const auto text_of = [this](int port) {
    return platform::format_endpoint({config_.address, static_cast<std::uint16_t>(port)});
  };
  const std::string voice = text_of(relay::voice_port_of(0));
  const std::string control = text_of(relay::control_port_of(0));
  log_.write("serving voice on %s-%d and control on %s-%d", voice.c_str(),
             relay::voice_port_of(relay::kChannelCount - 1), control.c_str(),
             relay::control_port_of(relay::kChannelCount - 1));

  Clock::time_point next_tick = Clock::now() + kTickInterval;
  while (true) {
    const int ready = ::poll(watch.data(), watch.size(), milliseconds_until(next_tick, Clock::now()));
    if (ready < 0) {
      // A signal's wish to stop arrives through the stop pipe; other signals just interrupt.
      if (errno == EINTR) continue;
      log_.write("waiting for datagrams failed: %s", std::strerror(errno));
      break;
    }
    const Clock::time_point now = Clock::now();
    for (int channel = 0; channel < relay::kChannelCount; ++channel) {
      const auto index = static_cast<std::size_t>(channel);
      serve_port(watch[kVoiceSlot + index], sockets_->voice(channel), channel, true, now);
      serve_port(watch[kControlSlot + index], sockets_->control(channel), channel, false, now);
    }
    if (watch[kCommandSlot].revents != 0) {
      read_commands();
      watch[kCommandSlot].fd = commands_.descriptor();
    }
    if (now >= next_tick) {
      relay_->on_tick(now);
      next_tick = now + kTickInterval;
    }
    // Last, so commands typed before the stop still take effect.
    if (watch[kStopSlot].revents != 0) break;
  }
  relay_->on_stop();
  log_.write("stopping");
}

void RelayServer::serve_port(const pollfd& watched, const platform::UdpSocket& socket, int channel, bool voice_port,
                             Clock::time_point now) {
  if ((watched.revents & POLLERR) != 0) clear_pending_error(socket.descriptor());
  if ((watched.revents & POLLIN) == 0) return;
  // One batch, so no port starves the others.
  const std::size_t count = in_.receive(socket);
  for (std::size_t slot = 0; slot < count; ++slot) {
    const relay::Bytes datagram = in_.datagram(slot);
    if (datagram.empty()) continue;
    if (voice_port)
      relay_->on_voice_port(channel, in_.from(slot), datagram, now);
    else
      relay_->on_control_port(channel, in_.from(slot), datagram, now);
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
