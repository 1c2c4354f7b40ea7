#include "opus_reframer.h"

#include <algorithm>

#include "state/little_endian.h"

namespace marvok::relay_server {

namespace {

// About 80 bytes per 20 ms packet: clear speech at 8 kHz and far below the
// 255 bytes a forwarded packet may hold.
constexpr opus_int32 kBitrate = 32000;

opus_int16 sample_at(std::span<const std::uint8_t> block, std::size_t index) { return read_i16_le(block, 2 * index); }

}  // namespace

bool OpusReframer::make_encoder() {
  int error = OPUS_OK;
  encoder_ = opus_encoder_create(kSampleRate, kChannels, OPUS_APPLICATION_VOIP, &error);
  if (error != OPUS_OK || encoder_ == nullptr) {
    release();
    return false;
  }
  opus_encoder_ctl(encoder_, OPUS_SET_BITRATE(kBitrate));
  return true;
}

void OpusReframer::release() {
  if (encoder_ != nullptr) opus_encoder_destroy(encoder_);
  encoder_ = nullptr;
  pending_frames_ = 0;
}

std::size_t OpusReframer::push(std::span<const std::uint8_t, relay::kVoiceBlockSize> block, Packets& out) {
  if (encoder_ == nullptr && !make_encoder()) return 0;
  const std::size_t first = static_cast<std::size_t>(pending_frames_) * kChannels;
  const std::size_t samples = static_cast<std::size_t>(kFramesPerBlock) * kChannels;
  for (std::size_t i = 0; i < samples; ++i) pending_[first + i] = sample_at(block, i);
  pending_frames_ += kFramesPerBlock;

  std::size_t count = 0;
  int used_frames = 0;
  while (pending_frames_ - used_frames >= kFramesPerPacket) {
    Packet& packet = out[count];
    const opus_int32 size =
        opus_encode(encoder_, pending_.data() + static_cast<std::size_t>(used_frames) * kChannels, kFramesPerPacket,
                    packet.bytes.data(), static_cast<opus_int32>(packet.bytes.size()));
    used_frames += kFramesPerPacket;
    if (size <= 0) continue;
    packet.size = static_cast<std::size_t>(size);
    ++count;
  }
  // Carry what is left to the front for the next block.
  const auto left_from = pending_.begin() + used_frames * kChannels;
  std::copy(left_from, pending_.begin() + pending_frames_ * kChannels, pending_.begin());
  pending_frames_ -= used_frames;
  return count;
}

}  // namespace marvok::relay_server
