#pragma once

#include <opus.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "relay/datagrams.h"

namespace marvok::relay_server {

// Turns one speaker's raw blocks (250 stereo frames at 8000 Hz, 31.25 ms) into
// 20 ms Opus packets. Opus cannot code 250-frame frames, so the frames that do
// not fill a packet are carried over to the next block.
class OpusReframer {
 public:
  static constexpr int kSampleRate = 8000;
  static constexpr int kChannels = 2;
  static constexpr int kFramesPerPacket = 160;
  static constexpr int kFramesPerBlock =
      static_cast<int>(relay::kVoiceBlockSize) / (kChannels * static_cast<int>(sizeof(opus_int16)));
  static constexpr std::size_t kMostPacketsPerBlock = kFramesPerBlock / kFramesPerPacket + 1;

  struct Packet {
    std::array<std::uint8_t, relay::kMaxOpusPacketSize> bytes{};
    std::size_t size = 0;
    std::span<const std::uint8_t> view() const { return {bytes.data(), size}; }
  };
  using Packets = std::array<Packet, kMostPacketsPerBlock>;

  OpusReframer() = default;
  OpusReframer(const OpusReframer&) = delete;
  OpusReframer& operator=(const OpusReframer&) = delete;
  ~OpusReframer() { release(); }

  // Adds a block and codes every packet it completes into `out`; returns how
  // many. The encoder is made on the first block after a release; when that
  // fails the block is dropped.
  std::size_t push(std::span<const std::uint8_t, relay::kVoiceBlockSize> block, Packets& out);
  // Forgets carried frames: after a pause they belong to speech long gone.
  void discard_pending() { pending_frames_ = 0; }
  // Frees the encoder of a speaker who went quiet or left.
  void release();
  bool has_encoder() const { return encoder_ != nullptr; }

 private:
  bool make_encoder();

  OpusEncoder* encoder_ = nullptr;
  std::array<opus_int16, (kFramesPerPacket + kFramesPerBlock) * kChannels> pending_{};
  int pending_frames_ = 0;
};

}  // namespace marvok::relay_server
