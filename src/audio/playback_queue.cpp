#include "audio/playback_queue.h"

#include <algorithm>
#include <cstring>

#include "state/little_endian.h"

namespace marvok {

namespace {

constexpr int kFirstFreshBlock = 4;
constexpr int kLastBlock = static_cast<int>(kQueueBlocks) - 1;
constexpr int kBlocksPerOutputBuffer = static_cast<int>(kOutputBufferBytes / kVoiceBlockBytes);

// A tenth of the amplitude, truncated toward zero: -32768 becomes -3276.
void attenuate(std::span<std::uint8_t> block) {
  for (std::size_t i = 0; i + 1 < block.size(); i += 2) {
    const std::int16_t sample = read_i16_le(block, i);
    const auto quiet = static_cast<std::int16_t>(static_cast<double>(sample) * 0.1);
    write_u16_le(block, i, static_cast<std::uint16_t>(quiet));
  }
}

}  // namespace

void VoiceBlockQueue::reset() {
  std::lock_guard lock(lock_);
  blocks_.fill(0);
  QueueWriteIndex = 5;
}

void VoiceBlockQueue::advance_write_index() { QueueWriteIndex = std::min(QueueWriteIndex + 1, kLastBlock); }

void VoiceBlockQueue::queue_voice_block(std::span<const std::uint8_t, kVoiceBlockBytes> block,
                                        Attenuation attenuation) {
  std::lock_guard lock(lock_);
  const std::span<std::uint8_t> target(blocks_.data() + QueueWriteIndex * kVoiceBlockBytes, kVoiceBlockBytes);
  std::copy(block.begin(), block.end(), target.begin());
  if (attenuation == Attenuation::TenthOfAmplitude) attenuate(target);
  advance_write_index();
}

void VoiceBlockQueue::queue_silent_block() {
  std::lock_guard lock(lock_);
  std::fill_n(blocks_.begin() + QueueWriteIndex * static_cast<int>(kVoiceBlockBytes), kVoiceBlockBytes,
              std::uint8_t{0});
  advance_write_index();
}

void VoiceBlockQueue::shift_out(std::span<std::uint8_t, kOutputBufferBytes> buffer) {
  std::lock_guard lock(lock_);
  std::memmove(blocks_.data(), blocks_.data() + kOutputBufferBytes, blocks_.size() - kOutputBufferBytes);
  std::fill(blocks_.end() - kOutputBufferBytes, blocks_.end(), std::uint8_t{0});
  QueueWriteIndex = std::max(QueueWriteIndex - kBlocksPerOutputBuffer, kFirstFreshBlock);
  std::copy_n(blocks_.begin(), kOutputBufferBytes, buffer.begin());
}

int VoiceBlockQueue::write_index() const {
  std::lock_guard lock(lock_);
  return QueueWriteIndex;
}

std::array<std::uint8_t, kQueueBlocks * kVoiceBlockBytes> VoiceBlockQueue::snapshot() const {
  std::lock_guard lock(lock_);
  return blocks_;
}

}  // namespace marvok
