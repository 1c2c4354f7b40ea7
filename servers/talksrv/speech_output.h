#pragma once

#include <cstdint>
#include <span>

namespace marvok::talksrv {

// Where the speaker sends speech: the sound server, or a recorder in tests.
class SpeechOutput {
 public:
  virtual ~SpeechOutput() = default;

  // Called before each text; false when there is nowhere to play it now.
  virtual bool prepare(int frames_per_second) = 0;
  // Queues mono samples, waiting while the queue is full; false when the
  // output was lost.
  virtual bool play(std::span<const std::int16_t> samples) = 0;
  // Drops what is queued and not yet heard.
  virtual void drop_queued() = 0;
};

}  // namespace marvok::talksrv
