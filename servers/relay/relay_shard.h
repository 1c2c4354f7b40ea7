#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "handoff_ring.h"
#include "receive_batch.h"
#include "relay.h"
#include "relay_config.h"
#include "relay_log.h"
#include "relay_sockets.h"
#include "shard_message.h"

namespace marvok::relay_server {

// One event loop of the relay: a thread that waits with epoll on the ports of
// its channels and on a wake-up counter, hands each datagram to its own Relay,
// and exchanges messages with the other loops through one ring from each.
class RelayShard : private ShardPost {
 public:
  // Room for the messages of a busy moment between two loops.
  static constexpr std::size_t kRingCapacity = 4096;
  using Ring = HandoffRing<ShardMessage, kRingCapacity>;

  RelayShard(const RelayConfig& config, const RelaySockets& sockets, int index, int count, Clock::time_point now);
  RelayShard(const RelayShard&) = delete;
  RelayShard& operator=(const RelayShard&) = delete;
  ~RelayShard() override;

  // Makes the watcher; false with the reason in `error`.
  bool open(std::string& error);
  // The other loops, by index, this one included; set before run().
  void meet(std::vector<RelayShard*> peers) { peers_ = std::move(peers); }
  // Serves until stop(). The loop's thread calls it.
  void run();
  // Ends run() soon; from any thread.
  void stop();

  // Runs `task` on the loop's thread between datagrams and waits for it.
  // Only while run() is running.
  void run_task(const std::function<void(Relay&)>& task);
  // The loop's state, once its thread has ended.
  Relay& relay() { return *relay_; }
  // True once since the loop's control sockets last changed.
  bool take_pairings_changed() { return pairings_changed_.exchange(false, std::memory_order_relaxed); }

  // The channels this loop serves, e.g. "0, 2, 4".
  std::string channel_names() const;

 private:
  bool post(int shard, const ShardMessage& message) override;
  void wake();
  void serve_port(std::uint32_t events, const platform::UdpSocket& socket, int channel, bool voice_port,
                  Clock::time_point now);
  void take_messages(Clock::time_point now);
  void run_tasks();
  void wake_told_peers();

  const RelayConfig& config_;
  const RelaySockets& sockets_;
  const int index_;
  const int count_;
  RelayLog log_;
  std::optional<Relay> relay_;
  std::vector<int> channels_;
  int watcher_ = -1;
  int wake_fd_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> pairings_changed_{false};
  ReceiveBatch in_;
  // inbox_[i] carries the messages of loop i.
  std::vector<std::unique_ptr<Ring>> inbox_;
  std::vector<RelayShard*> peers_;
  std::vector<bool> told_;  // peers posted to since they were last woken

  std::mutex tasks_mutex_;
  std::vector<std::function<void()>> tasks_;
};

}  // namespace marvok::relay_server
