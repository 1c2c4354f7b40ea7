#pragma once

#include <cstddef>

namespace marvok {

// All voice audio is 16-bit stereo PCM at 8000 frames per second. It travels,
// is recorded and is queued in blocks of 250 frames (31.25 ms).
inline constexpr int kVoiceFramesPerSecond = 8000;
inline constexpr int kVoiceChannels = 2;
inline constexpr std::size_t kVoiceFrameBytes = 4;
inline constexpr std::size_t kVoiceBlockBytes = 1000;

// The jitter queue of received speech holds sixteen blocks; the NETWORK ring
// that shows its playback has one light per block.
inline constexpr std::size_t kQueueBlocks = 16;
inline constexpr std::size_t kNetworkRingCells = kQueueBlocks;

}  // namespace marvok
