#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "audio/level_meter.h"
#include "audio/render_ring.h"
#include "audio/speech_decoder.h"
#include "state/line_rate_limit.h"

namespace marvok {

// The most frames per channel one packet may decode to (31.5 ms at 8000 Hz).
inline constexpr int kMaxDecodedFrames = 252;

// A flood of bad packets prints at most this many error lines each period.
inline constexpr int kOpusErrorLinesPerPeriod = 10;
inline constexpr std::chrono::seconds kOpusErrorLinePeriod{10};

// Decodes one packet into `area` (interleaved stereo, `capacity` frames per
// channel). Returns the frames decoded, or the codec's negative error code
// after printing what it means, as far as `error_lines` lets it; -1,
// silently, when there is no decoder.
int decode_opus_packet(OpusSpeechDecoder& decoder, std::span<const std::uint8_t> packet, std::span<std::int16_t> area,
                       int capacity, LineRateLimit& error_lines);

// The line printed for a codec error code.
const char* opus_error_line(int code);

// Six samples for each one: straight lines between neighbours, the last
// sample held. The interleaved stereo stream is treated as one sequence.
void upsample_by_six(std::span<const std::int16_t> samples, std::vector<std::int16_t>& out);

// Where decoded speech goes: the render ring and the level meters; and
// how often decoding errors may be told.
struct OpusPlayback {
  OpusSpeechDecoder& decoder;
  RenderRing& ring;
  LevelMeterState& meters;
  LineRateLimit& error_lines;
};

// Decodes a received Opus packet, puts it at 48000 Hz into the ring and
// moves the meters. Returns the frames per channel decoded; 0 or less when
// nothing was played.
int play_opus_packet(std::span<const std::uint8_t> packet, const OpusPlayback& playback);

}  // namespace marvok
