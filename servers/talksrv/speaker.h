#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "speech_output.h"

namespace marvok::talksrv {

// Speaks texts one at a time on a thread of its own. The latest text wins: a
// new one stops the one being spoken, drops its queued sound and starts.
class Speaker {
 public:
  // Samples go to the output in pieces this long, so an interruption is
  // heard after at most one piece more.
  static constexpr int kPieceMs = 20;

  explicit Speaker(SpeechOutput& output);
  // Stops speaking and waits for the thread.
  ~Speaker();
  Speaker(const Speaker&) = delete;
  Speaker& operator=(const Speaker&) = delete;

  // Any thread may ask; an empty text only silences the current one.
  void say(std::string utf8_text);

 private:
  void run(const std::stop_token& stop);
  // The sink's answer: true while no newer text or stop has come.
  bool still_wanted(std::uint64_t text_number, const std::stop_token& stop);

  SpeechOutput& output_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<std::string> next_text_;
  std::uint64_t texts_asked_ = 0;
  std::jthread thread_;
};

}  // namespace marvok::talksrv
