#include "relay_log.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace marvok::relay_server {
namespace {

using namespace std::chrono_literals;
using TimePoint = std::chrono::steady_clock::time_point;

// One step of a scenario: wait, then write `lines` lines of a kind (none for
// an essential line), or only flush.
struct Step {
  std::chrono::milliseconds wait;
  std::optional<LogEvent> kind;
  int lines;
};

struct Scenario {
  const char* name;
  std::vector<Step> steps;
  std::size_t expected_lines;
  std::vector<std::string> expected_texts;
};

constexpr int kFlush = 0;

std::vector<std::string> lines_of(std::FILE* file) {
  std::vector<std::string> lines;
  std::rewind(file);
  char chunk[600];
  while (std::fgets(chunk, sizeof chunk, file) != nullptr) lines.emplace_back(chunk);
  return lines;
}

TEST(RelayLog, LeavesOutLinesBeyondTheBudgetOfTheirKindAndSaysHowMany) {
  const std::vector<Scenario> scenarios = {
      {"within the budget", {{0ms, LogEvent::Join, 3}, {11s, std::nullopt, kFlush}}, 3, {"join 2"}},
      {"a flood ends in one count after the interval",
       {{0ms, LogEvent::Join, 1000}, {9s, std::nullopt, kFlush}, {1s, std::nullopt, kFlush}},
       4,
       {"join 0", "join 2", "... 997 more joins like this in the last 10 s"}},
      {"the next line of the kind closes the interval too",
       {{0ms, LogEvent::Departure, 5}, {12s, LogEvent::Departure, 1}},
       5,
       {"... 2 more departures like this in the last 12 s", "departure 0"}},
      {"kinds have budgets of their own",
       {{0ms, LogEvent::Join, 50}, {0ms, LogEvent::Departure, 1}, {0ms, LogEvent::UnsentNotice, 1}},
       5,
       {"departure 0", "unsent notice 0"}},
      {"essential lines are never left out",
       {{0ms, LogEvent::Join, 10}, {0ms, std::nullopt, 100}, {10s, std::nullopt, kFlush}},
       104,
       {"essential 99", "... 7 more joins"}},
      {"a new interval has its whole budget",
       {{0ms, LogEvent::Notice, 4}, {10s, LogEvent::Notice, 3}, {10s, std::nullopt, kFlush}},
       7,
       {"... 1 more notices like this in the last 10 s", "notice 2"}},
  };
  const auto text_of = [](std::optional<LogEvent> kind) -> std::string {
    if (!kind) return "essential";
    if (*kind == LogEvent::Join) return "join";
    if (*kind == LogEvent::Departure) return "departure";
    if (*kind == LogEvent::Notice) return "notice";
    return "unsent notice";
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    std::FILE* out = std::tmpfile();
    TimePoint now{};
    RelayLog log(out, LogLimit{3, 10s}, [&now] { return now; });
    for (const Step& step : scenario.steps) {
      now += step.wait;
      if (!step.kind && step.lines == kFlush) log.flush_left_out();
      for (int i = 0; i < step.lines; ++i) {
        const std::string text = text_of(step.kind) + " " + std::to_string(i);
        if (step.kind) {
          log.write(*step.kind, "%s", text.c_str());
        } else {
          log.write("%s", text.c_str());
        }
      }
    }
    const auto lines = lines_of(out);
    std::string all;
    for (const auto& line : lines) all += line;
    EXPECT_EQ(lines.size(), scenario.expected_lines) << all;
    for (const auto& expected : scenario.expected_texts) EXPECT_NE(all.find(expected), std::string::npos) << all;
    std::fclose(out);
  }
}

TEST(RelayLog, AnOverlongLineIsCutAndStillEndsTheLine) {
  std::FILE* out = std::tmpfile();
  RelayLog log(out);
  const std::string huge(5000, 'x');
  log.write(LogEvent::Join, "%s", huge.c_str());
  log.write("after");
  const auto lines = lines_of(out);
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_LT(lines[0].size(), 512U);
  EXPECT_EQ(lines[0].back(), '\n');
  EXPECT_NE(lines[1].find("after"), std::string::npos);
  std::fclose(out);
}

}  // namespace
}  // namespace marvok::relay_server
