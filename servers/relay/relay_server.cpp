#include "relay_server.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "operator_commands.h"
#include "pairing_memory.h"

namespace marvok::relay_server {

namespace {

// How often the pairing file is looked at between commands.
constexpr auto kPairingCheckInterval = std::chrono::milliseconds(100);
// Pairings change with joins; writing them at most this often keeps a
// flood of hellos from turning into a flood of file writes.
constexpr auto kPairingSaveInterval = std::chrono::seconds(1);

constexpr std::uint64_t kCommandSlot = 0;
constexpr std::uint64_t kStopSlot = 1;
constexpr std::uint64_t kOperatorSocketSlot = 2;

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
  if (watcher_ < 0 || !watch(stop_pipe_[0], kStopSlot)) {
    error = std::string("cannot make the event watcher: ") + std::strerror(errno);
    return false;
  }
  const auto served = static_cast<int>(config_.channels.count());
  if (served == 0) {
    error = "no channel to serve";
    return false;
  }
  sockets_ = RelaySockets::open(config_.address, config_.channels, error);
  if (!sockets_) return false;
  if (!config_.control_socket.empty()) {
    operator_socket_ = OperatorSocket::open(config_.control_socket, error);
    if (!operator_socket_) return false;
    if (!watch(operator_socket_->descriptor(), kOperatorSocketSlot)) {
      error = std::string("cannot watch the control socket: ") + std::strerror(errno);
      return false;
    }
  }
  // A loop without a channel would have nothing to serve.
  const int count = std::clamp(config_.threads, 1, served);
  const Clock::time_point now = Clock::now();
  std::vector<RelayShard*> peers;
  for (int index = 0; index < count; ++index) {
    shards_.push_back(std::make_unique<RelayShard>(config_, *sockets_, index, count, now));
    if (!shards_.back()->open(error)) return false;
    peers.push_back(shards_.back().get());
  }
  for (const auto& shard : shards_) shard->meet(peers);
  if (!config_.shared_state.empty()) {
    // The host is known to the others by its address.
    const std::string host = platform::format_endpoint({config_.address, 0});
    shared_ = std::make_unique<SharedState>(config_.shared_state, host.substr(0, host.find(':')), config_.log);
    const std::vector<Pairing> remembered = shared_->remembered_pairings();
    on_every_shard([&remembered](Relay& relay) { relay.remember(remembered); });
    log_.write("%zu control socket(s) remembered from the shared state", remembered.size());
  }
  opened_ = true;
  return true;
}

void RelayServer::stop() {
  if (stop_pipe_[1] < 0) return;
  const int saved_errno = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(stop_pipe_[1], &byte, 1);
  errno = saved_errno;
}

RelayCounters RelayServer::counters() const {
  RelayCounters sum;
  for (const auto& shard : shards_) {
    const RelayCounters& part = shard->relay().counters();
    sum.datagrams_in += part.datagrams_in;
    sum.datagrams_out += part.datagrams_out;
    sum.bad_datagrams += part.bad_datagrams;
    sum.stray_datagrams += part.stray_datagrams;
    sum.send_failures += part.send_failures;
    sum.refused_clients += part.refused_clients;
    sum.unanswered_list_requests += part.unanswered_list_requests;
    sum.lost_handoffs += part.lost_handoffs;
  }
  return sum;
}

bool RelayServer::watch(int fd, std::uint64_t slot) {
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = slot;
  return ::epoll_ctl(watcher_, EPOLL_CTL_ADD, fd, &event) == 0;
}

template <typename Task>
void RelayServer::on_every_shard(Task task) {
  // Before the loops start and after they end, their state is this thread's.
  for (const auto& shard : shards_) {
    if (threads_.empty()) {
      task(shard->relay());
    } else {
      shard->run_task(task);
    }
  }
}

void RelayServer::run() {
  if (!opened_) return;
  // A file or /dev/null cannot be watched; it is always readable, so it is
  // read whole now, before any datagram.
  if (commands_.descriptor() >= 0 && !watch(commands_.descriptor(), kCommandSlot))
    while (commands_.descriptor() >= 0) read_commands();
  for (const auto& shard : shards_) threads_.emplace_back([&shard = *shard] { shard.run(); });
  if (shared_) shared_->start();

  const auto text_of = [this](int port) {
    return platform::format_endpoint({config_.address, static_cast<std::uint16_t>(port)});
  };
  if (config_.channels.all()) {
    const std::string voice = text_of(relay::voice_port_of(0));
    const std::string control = text_of(relay::control_port_of(0));
    log_.write("serving voice on %s-%d and control on %s-%d", voice.c_str(),
               relay::voice_port_of(relay::kChannelCount - 1), control.c_str(),
               relay::control_port_of(relay::kChannelCount - 1));
  } else {
    std::string address = text_of(0);
    address.resize(address.rfind(':'));
    log_.write("serving channels %s only, on %s: voice ports %s, control ports %s",
               format_channel_list(config_.channels).c_str(), address.c_str(),
               format_channel_list(config_.channels, relay::kFirstVoicePort).c_str(),
               format_channel_list(config_.channels, relay::kFirstControlPort).c_str());
  }
  if (shards_.size() > 1) {
    for (std::size_t index = 0; index < shards_.size(); ++index)
      log_.write("event loop %zu serves channels %s", index, shards_[index]->channel_names().c_str());
  }

  std::array<epoll_event, 3> ready{};
  bool stopping = false;
  while (!stopping) {
    const int count = ::epoll_wait(watcher_, ready.data(), static_cast<int>(ready.size()),
                                   static_cast<int>(kPairingCheckInterval.count()));
    if (count < 0) {
      // A signal's wish to stop arrives through the stop pipe; other signals just interrupt.
      if (errno == EINTR) continue;
      log_.write("waiting for commands failed: %s", std::strerror(errno));
      break;
    }
    for (const epoll_event& event : std::span(ready.data(), static_cast<std::size_t>(count))) {
      if (event.data.u64 == kCommandSlot) {
        const int fd = commands_.descriptor();
        read_commands();
        if (commands_.descriptor() < 0) ::epoll_ctl(watcher_, EPOLL_CTL_DEL, fd, nullptr);
      }
      if (event.data.u64 == kOperatorSocketSlot)
        operator_socket_->serve([this](std::string_view line) { return run_command(line); });
      // Commands typed before the stop still take effect.
      stopping = stopping || event.data.u64 == kStopSlot;
    }
    save_pairings_if_changed(Clock::now());
    share_admissions(Clock::now());
  }
  for (const auto& shard : shards_) shard->stop();
  for (auto& thread : threads_) thread.join();
  threads_.clear();
  save_pairings();
  log_.write("stopping");
}

void RelayServer::read_commands() {
  commands_.read_available();
  while (const auto line = commands_.next_line()) {
    if (line->find_first_not_of(" \t\r") == std::string_view::npos) continue;
    const std::string answer = run_command(*line);
    std::fputs(answer.c_str(), config_.command_output);
    std::fflush(config_.command_output);
  }
}

std::string RelayServer::run_command(std::string_view line) {
  if (auto refusal = refuse_operator_command(line)) return *refusal;
  const OperatorCommand command = *parse_operator_command(line);
  std::array<char, 96> text{};
  if (command.kind == OperatorCommand::Kind::List) {
    std::size_t clients = 0;
    std::string lines;
    on_every_shard([&](Relay& relay) {
      clients += relay.client_count();
      relay.describe_clients(lines);
    });
    // A host of some channels knows only its own channels' clients.
    const std::string served =
        config_.channels.all() ? "" : "; this relay serves channels " + format_channel_list(config_.channels);
    std::snprintf(text.data(), text.size(), "%zu client(s)%s\n", clients, served.c_str());
    return text.data() + lines;
  }
  int sent = 0;
  if (command.kind == OperatorCommand::Kind::CloseAll) {
    on_every_shard([&sent](Relay& relay) { sent += relay.close_all(); });
    log_.write("notice %u to every client: sent to %d client(s)", relay::kNoticeSupervisorCloses, sent);
    std::snprintf(text.data(), text.size(), "notice 240 sent to %d client(s)\n", sent);
  } else {
    const std::uint16_t member = command.member;
    on_every_shard([&sent, member](Relay& relay) { sent += relay.close_member(member); });
    log_.write("notice %u to member %u: sent to %d client(s)", relay::kNoticeSupervisorCloses, member, sent);
    std::snprintf(text.data(), text.size(), "notice 240 sent to %d client(s) of member %u\n", sent, member);
  }
  return text.data();
}

void RelayServer::share_admissions(Clock::time_point now) {
  if (!shared_ || now < next_share_) return;
  next_share_ = now + SharedState::kPeriod;
  AddressTable admitted;
  on_every_shard([&admitted](Relay& relay) { relay.admitted_addresses(admitted); });
  std::sort(admitted.begin(), admitted.end(), [](const auto& a, const auto& b) { return a.address < b.address; });
  shared_->report(std::move(admitted));
  std::shared_ptr<const AddressTable> others = shared_->others();
  if (others == others_given_) return;
  on_every_shard([&others](Relay& relay) { relay.set_members_elsewhere(*others); });
  others_given_ = std::move(others);
}

void RelayServer::save_pairings_if_changed(Clock::time_point now) {
  if ((config_.pairing_file.empty() && !shared_) || now < next_pairing_save_) return;
  bool changed = false;
  for (const auto& shard : shards_) changed = shard->take_pairings_changed() || changed;
  if (!changed) return;
  next_pairing_save_ = now + kPairingSaveInterval;
  save_pairings();
}

void RelayServer::save_pairings() {
  if (config_.pairing_file.empty() && !shared_) return;
  std::vector<Pairing> pairings;
  std::vector<Pairing> unclaimed;
  on_every_shard([&](Relay& relay) { relay.pairings(pairings, unclaimed); });
  // Every loop remembers the whole file, and the loop a client returned to
  // has claimed its line: unclaimed lines stay, so a second restart soon
  // after the first loses nothing, but only once and not beside a client.
  std::set<std::pair<std::uint32_t, std::uint16_t>> seen;
  for (const Pairing& pairing : pairings) seen.insert({pairing.voice.address, pairing.voice.port});
  for (const Pairing& pairing : unclaimed)
    if (seen.insert({pairing.voice.address, pairing.voice.port}).second) pairings.push_back(pairing);
  if (shared_) shared_->report_pairings(pairings);
  if (config_.pairing_file.empty()) return;
  const bool saved = PairingMemory::save(config_.pairing_file, pairings);
  if (!saved && !pairing_save_failed_) {
    log_.write("cannot write the pairing file %s; a restart will not know the control sockets",
               config_.pairing_file.c_str());
  }
  pairing_save_failed_ = !saved;
}

}  // namespace marvok::relay_server
