// The speaker with the real French voice and an output paced like a sound
// card: a new text cuts the one being spoken short, at once.
#include "speaker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace marvok::talksrv {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const char* const kLongText =
    "Bonjour. Le synthétiseur est actif. Sur la clé droite de la souris, chaque zone de la fenêtre "
    "dit à quoi elle sert, et la clé gauche la fait fonctionner. Bonne écoute à tous.";

// Takes samples as fast as a device plays them and counts them per text.
class PacedOutput final : public SpeechOutput {
 public:
  bool prepare(int frames_per_second) override {
    const std::lock_guard lock(mutex_);
    rate_ = frames_per_second;
    samples_per_text_.push_back(0);
    return true;
  }
  bool play(std::span<const std::int16_t> samples) override {
    std::this_thread::sleep_for(std::chrono::microseconds(samples.size() * 1'000'000 / rate_));
    const std::lock_guard lock(mutex_);
    samples_per_text_.back() += samples.size();
    return true;
  }
  void drop_queued() override {
    const std::lock_guard lock(mutex_);
    drops_.push_back(Clock::now());
  }

  std::vector<std::size_t> samples_per_text() {
    const std::lock_guard lock(mutex_);
    return samples_per_text_;
  }
  std::vector<Clock::time_point> drops() {
    const std::lock_guard lock(mutex_);
    return drops_;
  }
  std::size_t rate() {
    const std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(rate_);
  }

 private:
  std::mutex mutex_;
  int rate_ = 1;
  std::vector<std::size_t> samples_per_text_;
  std::vector<Clock::time_point> drops_;
};

bool eventually(const std::function<bool()>& condition) {
  const auto until = Clock::now() + 5s;
  while (!condition()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// One speaker for every step: the engine cannot be loaded twice in a process.
TEST(SpeakerTest, ANewTextInterruptsTheOneBeingSpoken) {
  PacedOutput output;
  auto speaker = std::make_unique<Speaker>(output);
  const auto samples = [&](std::size_t text) {
    const auto counts = output.samples_per_text();
    return text < counts.size() ? counts[text] : 0;
  };
  speaker->say(kLongText);
  ASSERT_TRUE(eventually([&] { return samples(0) > output.rate() / 2; }));

  const auto asked = Clock::now();
  speaker->say("Oui.");
  ASSERT_TRUE(eventually([&] { return output.samples_per_text().size() == 2; }));
  ASSERT_EQ(output.drops().size(), 2U);
  const auto cut_after = std::chrono::duration_cast<std::chrono::milliseconds>(output.drops()[1] - asked);
  EXPECT_LT(cut_after, 100ms) << "the first text kept playing";
  std::printf("interrupted after %lld ms\n", static_cast<long long>(cut_after.count()));

  // The long text lasts about ten seconds: only its start was played.
  const auto first = samples(0);
  EXPECT_LT(first, output.rate() * 2);
  std::this_thread::sleep_for(1500ms);
  EXPECT_GT(samples(1), output.rate() / 10);
  EXPECT_LT(samples(1), output.rate() * 3 / 2);
  EXPECT_EQ(samples(0), first) << "the first text went on after the second";

  // An empty text plays nothing and silences the one being spoken.
  speaker->say(kLongText);
  ASSERT_TRUE(eventually([&] { return samples(2) > 0; }));
  speaker->say("");
  ASSERT_TRUE(eventually([&] { return output.drops().size() == 4; }));
  const auto silenced = output.samples_per_text();
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(output.samples_per_text(), silenced);

  // Stopped mid-sentence, it returns at once rather than after the sentence.
  speaker->say(kLongText);
  ASSERT_TRUE(eventually([&] { return samples(3) > 0; }));
  const auto stopping = Clock::now();
  speaker.reset();
  EXPECT_LT(Clock::now() - stopping, 200ms);
  EXPECT_LT(samples(3), output.rate());
}

}  // namespace
}  // namespace marvok::talksrv
