#pragma once

#include <memory>
#include <string>

#include "speech_output.h"

struct pa_simple;

namespace marvok::talksrv {

// Plays speech on the sound server's default output with about 100 ms of
// latency, so an interruption is heard at once. The connection is made for
// the first text and made again for a later one after it was lost, so speech
// comes back with the sound server.
class SpeechPlayer final : public SpeechOutput {
 public:
  SpeechPlayer();
  ~SpeechPlayer() override;
  SpeechPlayer(const SpeechPlayer&) = delete;
  SpeechPlayer& operator=(const SpeechPlayer&) = delete;

  bool prepare(int frames_per_second) override;
  bool play(std::span<const std::int16_t> samples) override;
  void drop_queued() override;

 private:
  struct Close {
    void operator()(pa_simple* stream) const;
  };
  std::unique_ptr<pa_simple, Close> stream_;
  int frames_per_second_ = 0;
  bool told_missing_ = false;
};

}  // namespace marvok::talksrv
