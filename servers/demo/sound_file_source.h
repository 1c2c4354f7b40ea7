#pragma once

#include <memory>
#include <optional>
#include <string>

#include "utterance.h"

namespace marvok::demo {

// One sound file, said again at every turn.
class SoundFileSource : public UtteranceSource {
 public:
  // Nothing, with the reason in `error`, when the file cannot be read or is
  // not 8 kHz 16-bit PCM of one or two channels.
  static std::unique_ptr<SoundFileSource> open(const std::string& path, std::string& error);

  std::optional<Utterance> next(std::string& error) override;

 private:
  explicit SoundFileSource(Utterance utterance) : utterance_(std::move(utterance)) {}

  Utterance utterance_;
};

}  // namespace marvok::demo
