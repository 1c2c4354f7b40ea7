// The screen's event loop over Qt's: what the client relies on when it posts,
// times and ends.
#include "ui/qt/qt_event_loop.h"

#include <gtest/gtest.h>

#include <thread>

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

TEST(QtEventLoopTest, PostsRunOnTheLoopAndDieWithTheirTarget) {
  QtEventLoop loop;
  std::vector<int> ran;
  auto kept = loop.post_target();
  auto dropped = loop.post_target();
  std::thread worker([&] {
    kept->post([&] { ran.push_back(1); });
    dropped->post([&] { ran.push_back(2); });
  });
  worker.join();
  dropped.reset();
  kept->post([&] { loop.exit(7); });
  EXPECT_EQ(loop.run(), 7);
  EXPECT_EQ(ran, std::vector<int>{1});
}

// The inactivity count stops its own timer from its last tick.
TEST(QtEventLoopTest, ATickMayDestroyItsOwnTimer) {
  QtEventLoop loop;
  int ticks = 0;
  std::unique_ptr<screen::Timer> timer;
  timer = loop.repeat(1ms, [&] {
    if (++ticks == 3) timer.reset();
  });
  const auto end = loop.once(50ms, [&] { loop.exit(0); });
  auto cancelled = loop.once(1ms, [&] { ticks += 100; });
  cancelled.reset();
  EXPECT_EQ(loop.run(), 0);
  EXPECT_EQ(ticks, 3);
}

}  // namespace
}  // namespace marvok::ui
