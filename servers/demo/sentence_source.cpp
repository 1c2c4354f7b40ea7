#include "sentence_source.h"

#include <string_view>
#include <vector>

#include "state/voice_format.h"

namespace marvok::demo {

namespace {

constexpr std::string_view kSentences[] = {
    "Bonjour, ici le membre de démonstration du réseau Marvok.",
    "Pour parler, maintenez la barre d'espace enfoncée, puis relâchez-la pour écouter les autres.",
    "Vous êtes sur le canal Bienvenue. Les touches de zéro à neuf vous emmènent sur les autres canaux.",
    "Cliquez sur PARAMS pour choisir votre microphone et la couleur de votre fenêtre.",
    "Merci d'être passé. Bonne écoute, et à très bientôt sur le réseau Marvok !",
};

// Telephone speech stops at 3.4 kHz; a little more keeps it bright and still
// leaves room for the filter to close before 4 kHz.
constexpr double kCutoffHz = 3600.0;

}  // namespace

std::unique_ptr<SentenceSource> SentenceSource::open(std::string& error) {
  auto synthesizer = speech::SpeechSynthesizer::open("fr", error);
  if (!synthesizer) return nullptr;
  return std::unique_ptr<SentenceSource>(new SentenceSource(std::move(synthesizer)));
}

SentenceSource::SentenceSource(std::unique_ptr<speech::SpeechSynthesizer> synthesizer)
    : synthesizer_(std::move(synthesizer)),
      resampler_(synthesizer_->frames_per_second(), kVoiceFramesPerSecond, kCutoffHz) {}

std::optional<Utterance> SentenceSource::next(std::string& error) {
  const std::string_view sentence = kSentences[turn_];
  turn_ = (turn_ + 1) % std::size(kSentences);

  // The whole sentence is made before it is sent, so its length is known and
  // the engine's bursts do not disturb the pace of the blocks.
  std::vector<std::int16_t> speech;
  const bool spoken = synthesizer_->speak(sentence, [&speech](std::span<const std::int16_t> piece) {
    speech.insert(speech.end(), piece.begin(), piece.end());
    return true;
  });
  if (!spoken) {
    error = "the speech engine could not say \"" + std::string(sentence) + "\"";
    return std::nullopt;
  }
  const std::vector<std::int16_t> voice = resampler_.resample(speech);
  return Utterance{std::string(sentence), to_voice_blocks(voice, 1).value()};
}

}  // namespace marvok::demo
