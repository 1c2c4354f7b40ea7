#pragma once

namespace marvok::relay {

// What the window animates of the speech passing through the relay. Told of
// each block the member sends, on the audio thread, and of each received
// block that plays, on the receiving thread.
class SpeechActivity {
 public:
  virtual void block_sent() = 0;
  virtual void block_played() = 0;

 protected:
  ~SpeechActivity() = default;
};

// For speech that no window shows.
class UnseenSpeech final : public SpeechActivity {
 public:
  void block_sent() override {}
  void block_played() override {}
};

}  // namespace marvok::relay
