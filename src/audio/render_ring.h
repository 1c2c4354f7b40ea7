#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

namespace marvok {

// Two seconds of decoded speech at 48000 Hz stereo, as float samples. The
// receiving thread writes and never waits for the reader: when it gets more
// than two seconds ahead, the oldest unread samples are overwritten. Each
// position is published after the samples it covers.
class RenderRing {
 public:
  static constexpr std::size_t kSamples = 192000;

  void write(std::span<const float> samples);
  // Copies up to `destination.size()` samples out and fills the rest with
  // silence; returns how many came from the ring.
  std::size_t read_into(std::span<float> destination);
  std::size_t available() const;

 private:
  std::array<float, kSamples> samples_{};
  std::atomic<std::uint64_t> RingWritePos{0};
  std::atomic<std::uint64_t> RingReadPos{0};
};

}  // namespace marvok
