#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "relay/datagrams.h"

namespace marvok::demo {

using VoiceBlock = std::array<std::uint8_t, relay::kVoiceBlockSize>;

// One thing the demo member says, cut into the blocks the relay carries.
struct Utterance {
  std::string label;  // the sentence, or the sound's file name
  std::vector<VoiceBlock> blocks;

  double seconds() const;
};

// 8 kHz 16-bit sound of one or two interleaved channels as stereo voice
// blocks; a mono sound goes to both sides, and the last block is made up with
// silence. Nothing for another number of channels.
std::optional<std::vector<VoiceBlock>> to_voice_blocks(std::span<const std::int16_t> samples, int channels);

// Where the demo member's utterances come from.
class UtteranceSource {
 public:
  virtual ~UtteranceSource() = default;
  // The next utterance; nothing, with the reason in `error`, when it could not be made.
  virtual std::optional<Utterance> next(std::string& error) = 0;
};

}  // namespace marvok::demo
