#include "speech_synthesizer.h"

#include <espeak-ng/speak_lib.h>

#include <atomic>

namespace marvok::speech {
namespace {

std::atomic<bool> engine_in_use{false};

constexpr int kPieceMs = 100;

// The engine calls back with its user data in every event; the sink rides there.
int deliver_samples(short* samples, int count, espeak_EVENT* events) {
  if (samples == nullptr || count <= 0 || events == nullptr) return 0;
  const auto* sink = static_cast<const SpeechSynthesizer::SampleSink*>(events->user_data);
  if (sink == nullptr) return 0;
  return (*sink)(std::span<const std::int16_t>(samples, static_cast<std::size_t>(count))) ? 0 : 1;
}

}  // namespace

std::unique_ptr<SpeechSynthesizer> SpeechSynthesizer::open(const std::string& voice, std::string& error) {
  if (engine_in_use.exchange(true)) {
    error = "the speech engine is already in use";
    return nullptr;
  }
  // The engine is loaded once and kept for the life of the process: after a
  // terminate, a second load hangs in its next terminate. Without DONT_EXIT
  // the engine ends the whole process when its data is missing.
  static const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kPieceMs, nullptr, espeakINITIALIZE_DONT_EXIT);
  if (rate <= 0) {
    error = "eSpeak NG could not load its data (is espeak-ng-data installed?)";
    engine_in_use = false;
    return nullptr;
  }
  if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
    error = "eSpeak NG has no voice \"" + voice + "\"";
    engine_in_use = false;
    return nullptr;
  }
  espeak_SetSynthCallback(deliver_samples);
  return std::unique_ptr<SpeechSynthesizer>(new SpeechSynthesizer(rate));
}

SpeechSynthesizer::~SpeechSynthesizer() { engine_in_use = false; }

bool SpeechSynthesizer::speak(std::string_view utf8_text, const SampleSink& sink) {
  const std::string text(utf8_text);  // the engine wants a terminated string
  const espeak_ERROR result = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                                           nullptr, const_cast<SampleSink*>(&sink));
  return result == EE_OK;
}

}  // namespace marvok::speech
