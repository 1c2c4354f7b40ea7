#include "relay_shard.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <future>

namespace marvok::relay_server {

namespace {

constexpr auto kTickInterval = std::chrono::milliseconds(100);
constexpr std::uint64_t kWakeSlot = 2 * relay::kChannelCount;

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

bool watch(int watcher, int fd, std::uint64_t slot) {
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = slot;
  return ::epoll_ctl(watcher, EPOLL_CTL_ADD, fd, &event) == 0;
}

}  // namespace

RelayShard::RelayShard(const RelayConfig& config, const RelaySockets& sockets, int index, int count,
                       Clock::time_point now)
    : config_(config), sockets_(sockets), index_(index), count_(count), log_(config.log), told_(count, false) {
  const ShardPlace place{.index = index, .count = count, .post = this, .channels = config.channels};
  relay_.emplace(config_, sockets_, log_, now, place);
  for (int channel = 0; channel < relay::kChannelCount; ++channel) {
    if (config.channels.test(static_cast<std::size_t>(channel)) && place.loop_of_channel(channel) == index)
      channels_.push_back(channel);
  }
  for (int peer = 0; peer < count; ++peer) inbox_.push_back(peer == index ? nullptr : std::make_unique<Ring>());
}

RelayShard::~RelayShard() {
  if (watcher_ >= 0) ::close(watcher_);
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

bool RelayShard::open(std::string& error) {
  watcher_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (watcher_ < 0 || wake_fd_ < 0) {
    error = std::string("cannot make an event loop: ") + std::strerror(errno);
    return false;
  }
  // epoll rather than poll(): with thousands of clients the relay wakes for a
  // few datagrams at a time, and polling every descriptor on every wake
  // cost a fifth of its core.
  bool watched = watch(watcher_, wake_fd_, kWakeSlot);
  for (const int channel : channels_) {
    const auto slot = 2 * static_cast<std::uint64_t>(channel);
    watched = watched && watch(watcher_, sockets_.voice(channel).descriptor(), slot) &&
              watch(watcher_, sockets_.control(channel).descriptor(), slot + 1);
  }
  if (!watched) error = std::string("cannot watch the ports: ") + std::strerror(errno);
  return watched;
}

std::string RelayShard::channel_names() const {
  std::string names;
  for (const int channel : channels_) names += (names.empty() ? "" : ", ") + std::to_string(channel);
  return names;
}

void RelayShard::run() {
  std::array<epoll_event, 2 * relay::kChannelCount + 1> ready{};
  Clock::time_point next_tick = Clock::now() + kTickInterval;
  while (!stopping_.load(std::memory_order_acquire)) {
    const int count = ::epoll_wait(watcher_, ready.data(), static_cast<int>(ready.size()),
                                   milliseconds_until(next_tick, Clock::now()));
    if (count < 0) {
      if (errno == EINTR) continue;
      log_.write("waiting for datagrams failed: %s", std::strerror(errno));
      break;
    }
    // Served in channel order, as the ports' datagrams were sent: a client's
    // hellos on channel 0's port come before its presence on its own.
    std::array<std::uint32_t, 2 * relay::kChannelCount + 1> events{};
    for (const epoll_event& event : std::span(ready.data(), static_cast<std::size_t>(count)))
      events[event.data.u64] = event.events;
    const Clock::time_point now = Clock::now();
    if (events[kWakeSlot] != 0) {
      // Emptied before the rings are read, so a message posted after it wakes the loop again.
      std::uint64_t wakes = 0;
      [[maybe_unused]] const ssize_t got = ::read(wake_fd_, &wakes, sizeof wakes);
    }
    // Messages first: they were posted before the datagrams now waiting were
    // read, and a claim for a client must not meet its newer presence here.
    take_messages(now);
    for (const int channel : channels_) {
      const auto slot = 2 * static_cast<std::size_t>(channel);
      serve_port(events[slot], sockets_.voice(channel), channel, true, now);
      serve_port(events[slot + 1], sockets_.control(channel), channel, false, now);
    }
    run_tasks();
    if (now >= next_tick) {
      relay_->on_tick(now);
      if (relay_->pairings_changed()) pairings_changed_.store(true, std::memory_order_relaxed);
      next_tick = now + kTickInterval;
    }
    wake_told_peers();
  }
  // Tasks posted while stopping are not left waiting.
  run_tasks();
}

void RelayShard::stop() {
  stopping_.store(true, std::memory_order_release);
  wake();
}

void RelayShard::serve_port(std::uint32_t events, const platform::UdpSocket& socket, int channel, bool voice_port,
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

void RelayShard::take_messages(Clock::time_point now) {
  for (const auto& ring : inbox_)
    if (ring) ring->drain([&](const ShardMessage& message) { relay_->on_message(message, now); });
}

bool RelayShard::post(int shard, const ShardMessage& message) {
  if (!peers_[static_cast<std::size_t>(shard)]->inbox_[static_cast<std::size_t>(index_)]->push(message)) return false;
  told_[static_cast<std::size_t>(shard)] = true;
  return true;
}

void RelayShard::wake_told_peers() {
  for (std::size_t peer = 0; peer < told_.size(); ++peer) {
    if (!told_[peer]) continue;
    told_[peer] = false;
    peers_[peer]->wake();
  }
}

void RelayShard::wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
}

void RelayShard::run_task(const std::function<void(Relay&)>& task) {
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  {
    std::lock_guard lock(tasks_mutex_);
    tasks_.emplace_back([this, &task, &done] {
      task(*relay_);
      done.set_value();
    });
  }
  wake();
  finished.wait();
}

void RelayShard::run_tasks() {
  std::vector<std::function<void()>> tasks;
  {
    std::lock_guard lock(tasks_mutex_);
    tasks.swap(tasks_);
  }
  for (const auto& task : tasks) task();
}

}  // namespace marvok::relay_server
