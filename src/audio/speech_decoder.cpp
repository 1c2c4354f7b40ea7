#include "audio/speech_decoder.h"

#include <opus/opus.h>

namespace marvok {

bool OpusSpeechDecoder::create() {
  std::lock_guard lock(lock_);
  if (decoder_) return true;
  int error = OPUS_OK;
  decoder_ = opus_decoder_create(kSampleRate, kChannels, &error);
  if (error != OPUS_OK) {
    if (decoder_) opus_decoder_destroy(decoder_);
    decoder_ = nullptr;
  }
  return decoder_ != nullptr;
}

void OpusSpeechDecoder::destroy() {
  std::lock_guard lock(lock_);
  if (decoder_) opus_decoder_destroy(decoder_);
  decoder_ = nullptr;
}

bool OpusSpeechDecoder::exists() const {
  std::lock_guard lock(lock_);
  return decoder_ != nullptr;
}

int OpusSpeechDecoder::decode(std::span<const std::uint8_t> packet, std::span<std::int16_t> frames_out) {
  std::lock_guard lock(lock_);
  if (!decoder_) return -1;
  const int frame_capacity = static_cast<int>(frames_out.size() / kChannels);
  return opus_decode(decoder_, packet.data(), static_cast<opus_int32>(packet.size()), frames_out.data(), frame_capacity,
                     0);
}

}  // namespace marvok
