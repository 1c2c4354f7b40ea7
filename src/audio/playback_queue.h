#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>

#include "state/voice_format.h"

namespace marvok {

inline constexpr std::size_t kOutputBufferBytes = 4 * kVoiceBlockBytes;

enum class Attenuation { None, TenthOfAmplitude };

// The jitter queue of received raw speech: sixteen voice blocks. Blocks 0 to
// 3 hold what the last output buffer was made from, blocks 4 to 15 what has
// arrived since; each output buffer shifts four blocks out. The receiving
// thread writes blocks and the playback stage shifts; one lock keeps a block
// write with its index advance apart from a shift with its index decrease.
class VoiceBlockQueue {
 public:
  // Silence everywhere; the next block received goes to block 5.
  void reset();
  void queue_voice_block(std::span<const std::uint8_t, kVoiceBlockBytes> block, Attenuation attenuation);
  void queue_silent_block();
  // Shifts the queue down by four blocks and copies the four blocks that
  // make the next output buffer into `buffer`.
  void shift_out(std::span<std::uint8_t, kOutputBufferBytes> buffer);

  int write_index() const;
  // A copy of the sixteen blocks, for inspection.
  std::array<std::uint8_t, kQueueBlocks * kVoiceBlockBytes> snapshot() const;

 private:
  void advance_write_index();

  mutable std::mutex lock_;
  std::array<std::uint8_t, kQueueBlocks * kVoiceBlockBytes> blocks_{};
  int QueueWriteIndex = 0;
};

}  // namespace marvok
