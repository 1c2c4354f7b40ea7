// The speaker against the system's own speech engine: Wine's refuses to
// speak, which must be said once for the run however many texts come.
#include "sapi_speaker.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace marvok::talksrv {
namespace {

using namespace std::chrono_literals;

bool under_wine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

class Lines {
 public:
  void add(std::string_view line) {
    const std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
  }
  std::size_t count(std::string_view part) {
    const std::lock_guard lock(mutex_);
    std::size_t found = 0;
    for (const std::string& line : lines_) found += line.find(part) != std::string::npos ? 1 : 0;
    return found;
  }
  bool wait_for(std::string_view part, std::chrono::milliseconds within) {
    for (const auto until = std::chrono::steady_clock::now() + within; std::chrono::steady_clock::now() < until;) {
      if (count(part) > 0) return true;
      std::this_thread::sleep_for(10ms);
    }
    return count(part) > 0;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

TEST(SapiSpeakerTest, ARefusingEngineIsSaidOnceForTheRun) {
  constexpr std::string_view kRefusal = "talksrv: the speech engine refuses to speak";
  Lines lines;
  const auto started = std::chrono::steady_clock::now();
  {
    SapiSpeaker speaker([&lines](std::string_view line) { lines.add(line); });
    speaker.say("Bonjour. Le synth\u00E9tiseur est actif.");
    if (under_wine()) {
      ASSERT_TRUE(lines.wait_for(kRefusal, 5s));
    }
    for (const char* text : {"Il n'y a rien de sp\u00E9cial ici", "", "Encore"}) {
      speaker.say(text);
      std::this_thread::sleep_for(200ms);
    }
  }
  // Wine 8's engine answers E_NOTIMPL; a working one says nothing.
  EXPECT_EQ(lines.count(kRefusal), under_wine() ? 1U : 0U);
  EXPECT_EQ(lines.count("0x80004001"), under_wine() ? 1U : 0U);
  // Whatever it was saying, the speaker ends at once.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

}  // namespace
}  // namespace marvok::talksrv
