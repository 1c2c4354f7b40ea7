#include "audio/render_ring.h"

#include <algorithm>

namespace marvok {

void RenderRing::write(std::span<const float> samples) {
  std::uint64_t position = RingWritePos.load(std::memory_order_relaxed);
  for (const float sample : samples) {
    samples_[position] = sample;
    position = (position + 1) % kSamples;
  }
  RingWritePos.store(position, std::memory_order_release);
}

std::size_t RenderRing::available() const {
  const std::uint64_t written = RingWritePos.load(std::memory_order_acquire);
  const std::uint64_t read = RingReadPos.load(std::memory_order_relaxed);
  return static_cast<std::size_t>((written + kSamples - read) % kSamples);
}

std::size_t RenderRing::read_into(std::span<float> destination) {
  const std::size_t count = std::min(destination.size(), available());
  std::uint64_t position = RingReadPos.load(std::memory_order_relaxed);
  for (std::size_t i = 0; i < count; ++i) {
    destination[i] = samples_[position];
    position = (position + 1) % kSamples;
  }
  RingReadPos.store(position, std::memory_order_release);
  std::fill(destination.begin() + static_cast<std::ptrdiff_t>(count), destination.end(), 0.0f);
  return count;
}

}  // namespace marvok
