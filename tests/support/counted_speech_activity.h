#pragma once

#include <atomic>

#include "relay/speech_activity.h"

namespace marvok::testing {

// Counts what the relay's speech threads tell the window.
struct CountedSpeechActivity final : relay::SpeechActivity {
  void block_sent() override { ++sent; }
  void block_played() override { ++played; }

  std::atomic<int> sent = 0;
  std::atomic<int> played = 0;
};

}  // namespace marvok::testing
