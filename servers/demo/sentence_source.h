#pragma once

#include <memory>
#include <optional>
#include <string>

#include "resampler.h"
#include "speech_synthesizer.h"
#include "utterance.h"

namespace marvok::demo {

// Friendly French sentences about the network, spoken in turn by the speech
// engine and brought down to the voice rate.
class SentenceSource : public UtteranceSource {
 public:
  // Nothing, with the reason in `error`, when the engine or its French voice is missing.
  static std::unique_ptr<SentenceSource> open(std::string& error);

  std::optional<Utterance> next(std::string& error) override;

 private:
  explicit SentenceSource(std::unique_ptr<speech::SpeechSynthesizer> synthesizer);

  std::unique_ptr<speech::SpeechSynthesizer> synthesizer_;
  Resampler resampler_;
  std::size_t turn_ = 0;
};

}  // namespace marvok::demo
