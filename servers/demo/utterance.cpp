#include "utterance.h"

#include "state/little_endian.h"
#include "state/voice_format.h"

namespace marvok::demo {

namespace {

constexpr std::size_t kFramesPerBlock = relay::kVoiceBlockSize / kVoiceFrameBytes;

}  // namespace

double Utterance::seconds() const {
  return static_cast<double>(blocks.size() * kFramesPerBlock) / kVoiceFramesPerSecond;
}

std::optional<std::vector<VoiceBlock>> to_voice_blocks(std::span<const std::int16_t> samples, int channels) {
  if (channels != 1 && channels != 2) return std::nullopt;
  const std::size_t width = static_cast<std::size_t>(channels);
  const std::size_t frames = samples.size() / width;
  std::vector<VoiceBlock> blocks((frames + kFramesPerBlock - 1) / kFramesPerBlock, VoiceBlock{});
  for (std::size_t frame = 0; frame < frames; ++frame) {
    std::span<std::uint8_t> block = blocks[frame / kFramesPerBlock];
    const std::size_t at = frame % kFramesPerBlock * kVoiceFrameBytes;
    const auto left = static_cast<std::uint16_t>(samples[frame * width]);
    const auto right = static_cast<std::uint16_t>(samples[frame * width + width - 1]);
    write_u16_le(block, at, left);
    write_u16_le(block, at + 2, right);
  }
  return blocks;
}

}  // namespace marvok::demo
