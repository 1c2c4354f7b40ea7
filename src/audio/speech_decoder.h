#pragma once

#include <cstdint>
#include <mutex>
#include <span>

struct OpusDecoder;

namespace marvok {

// The Opus decoder for received speech: 8000 Hz, stereo. It is created by
// start-up, used by the receiving thread and destroyed at shutdown; the lock
// keeps a decode from running into the destruction.
class OpusSpeechDecoder {
 public:
  static constexpr int kSampleRate = 8000;
  static constexpr int kChannels = 2;

  OpusSpeechDecoder() = default;
  OpusSpeechDecoder(const OpusSpeechDecoder&) = delete;
  OpusSpeechDecoder& operator=(const OpusSpeechDecoder&) = delete;
  ~OpusSpeechDecoder() { destroy(); }

  // Returns false when the decoder cannot be made; it then stays empty.
  bool create();
  void destroy();
  bool exists() const;

  // Decodes one packet into interleaved 16-bit frames, without forward error
  // correction. Returns the frame count, or the codec's negative error code;
  // an empty decoder returns -1 and decodes nothing.
  int decode(std::span<const std::uint8_t> packet, std::span<std::int16_t> frames_out);

 private:
  mutable std::mutex lock_;
  OpusDecoder* decoder_ = nullptr;
};

}  // namespace marvok
