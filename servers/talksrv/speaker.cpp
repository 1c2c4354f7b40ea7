#include "speaker.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/worker_threads.h"
#include "speech_synthesizer.h"

namespace marvok::talksrv {

Speaker::Speaker(SpeechOutput& output) : output_(output), thread_([this](const std::stop_token& stop) { run(stop); }) {}

Speaker::~Speaker() {
  thread_.request_stop();
  wake_.notify_all();
}

void Speaker::say(std::string utf8_text) {
  {
    const std::lock_guard lock(mutex_);
    next_text_ = std::move(utf8_text);
    ++texts_asked_;
  }
  wake_.notify_all();
}

bool Speaker::still_wanted(std::uint64_t text_number, const std::stop_token& stop) {
  const std::lock_guard lock(mutex_);
  return texts_asked_ == text_number && !stop.stop_requested();
}

void Speaker::run(const std::stop_token& stop) {
  // The engine is made and used on this thread only.
  std::string error;
  const auto synthesizer = speech::SpeechSynthesizer::open("fr", error);
  if (!synthesizer) std::fprintf(stderr, "talksrv: no French voice (%s): texts are not spoken\n", error.c_str());
  const int rate = synthesizer ? synthesizer->frames_per_second() : 0;
  const auto piece = static_cast<std::size_t>(rate * kPieceMs / 1000);

  while (true) {
    std::string text;
    std::uint64_t text_number = 0;
    {
      std::unique_lock lock(mutex_);
      if (!wait_unless_stopped(wake_, lock, stop, [this] { return next_text_.has_value(); })) return;
      text = std::move(*next_text_);
      next_text_.reset();
      text_number = texts_asked_;
    }
    output_.drop_queued();
    if (!synthesizer || text.empty() || !output_.prepare(rate)) continue;
    synthesizer->speak(text, [&](std::span<const std::int16_t> samples) {
      while (!samples.empty()) {
        if (!still_wanted(text_number, stop)) return false;
        const std::size_t count = std::min(samples.size(), piece);
        if (!output_.play(samples.first(count))) return false;
        samples = samples.subspan(count);
      }
      return still_wanted(text_number, stop);
    });
  }
}

}  // namespace marvok::talksrv
