#include "held_key.h"

#include <gtest/gtest.h>

#include <vector>

namespace marvok::talksrv {
namespace {

using Event = HeldKey::Event;

TEST(HeldKeyTest, ReportsOnlyChanges) {
  struct Case {
    const char* name;
    std::vector<Event> events;
    std::vector<Report> reports;
  };
  const std::vector<Case> cases = {
      {"press and release", {Event::Down, Event::Up}, {Report::Talk, Report::Release}},
      {"a held key repeats its key-down",
       {Event::Down, Event::Down, Event::Down, Event::Up},
       {Report::Talk, Report::Release}},
      {"let go, then the capture lost", {Event::Down, Event::Up, Event::Up}, {Report::Talk, Report::Release}},
      {"a release never pressed here", {Event::Up}, {}},
      {"twice",
       {Event::Down, Event::Up, Event::Down, Event::Up},
       {Report::Talk, Report::Release, Report::Talk, Report::Release}},
  };
  for (const Case& c : cases) {
    HeldKey key;
    std::vector<Report> reports;
    for (const Event event : c.events)
      if (const auto change = key.on(event)) reports.push_back(*change);
    EXPECT_EQ(reports, c.reports) << c.name;
  }
}

}  // namespace
}  // namespace marvok::talksrv
