#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

namespace marvok::talksrv {

// Speaks texts through the system's speech engine, in a French voice when one
// is installed, on a thread of its own that holds the engine. The latest text
// wins: a new one cuts the one being spoken short.
class SapiSpeaker {
 public:
  // Where the speaker's messages go, one line each.
  using Tell = std::function<void(std::string_view line)>;

  explicit SapiSpeaker(Tell tell);
  // Silences the voice and waits for the thread.
  ~SapiSpeaker();
  SapiSpeaker(const SapiSpeaker&) = delete;
  SapiSpeaker& operator=(const SapiSpeaker&) = delete;

  // Any thread may ask; an empty text only silences the current one.
  void say(std::string utf8_text);

 private:
  void run(const std::stop_token& stop);

  Tell tell_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<std::string> next_text_;
  std::jthread thread_;
};

}  // namespace marvok::talksrv
