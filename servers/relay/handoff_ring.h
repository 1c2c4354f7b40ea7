#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <new>

namespace marvok::relay_server {

// A fixed queue from one thread to one other: the producer pushes, the
// consumer drains, neither ever waits for or locks out the other, and nothing
// is allocated after construction. A full ring refuses the push.
template <typename Item, std::size_t Capacity>
class HandoffRing {
  static_assert((Capacity & (Capacity - 1)) == 0, "the capacity is a power of two");

 public:
  // Producer side. False when the consumer has not made room.
  bool push(const Item& item) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
    items_[tail & (Capacity - 1)] = item;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Consumer side. Hands each waiting item to `take`, oldest first; returns how many.
  template <typename Take>
  std::size_t drain(Take take) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    const std::size_t tail = tail_.load(std::memory_order_acquire);
    for (std::size_t at = head; at != tail; ++at) take(items_[at & (Capacity - 1)]);
    head_.store(tail, std::memory_order_release);
    return tail - head;
  }

 private:
  // Apart, so the two threads do not share a cache line for their counters.
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
  alignas(64) std::array<Item, Capacity> items_{};
};

}  // namespace marvok::relay_server
