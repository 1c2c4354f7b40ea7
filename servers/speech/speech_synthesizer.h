#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace marvok::speech {

// French speech from eSpeak NG, made as 16-bit mono samples. The engine keeps
// process-wide state, so one synthesizer may exist at a time and it must be
// used from one thread; the engine stays loaded after the first.
class SpeechSynthesizer {
 public:
  // Receives each piece of speech as it is made; false stops the sentence.
  using SampleSink = std::function<bool(std::span<const std::int16_t>)>;

  // Loads the engine with the named voice ("fr"); nothing, with the reason in
  // `error`, when the voice data is missing or a synthesizer already exists.
  static std::unique_ptr<SpeechSynthesizer> open(const std::string& voice, std::string& error);
  ~SpeechSynthesizer();
  SpeechSynthesizer(const SpeechSynthesizer&) = delete;
  SpeechSynthesizer& operator=(const SpeechSynthesizer&) = delete;

  int frames_per_second() const { return frames_per_second_; }

  // Speaks `utf8_text`, handing the samples to `sink` piece by piece (about
  // 100 ms each). False when the engine failed; a sink that stops the
  // sentence is not a failure.
  bool speak(std::string_view utf8_text, const SampleSink& sink);

 private:
  explicit SpeechSynthesizer(int frames_per_second) : frames_per_second_(frames_per_second) {}

  int frames_per_second_;
};

}  // namespace marvok::speech
