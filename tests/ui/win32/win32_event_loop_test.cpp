// The Win32 event loop: timers, posts and requests to end as the client uses
// them, also while a box or a growth pause holds the window thread.
#include "ui/win32/win32_event_loop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace marvok::ui::win32 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

void run_for(Win32EventLoop& loop, std::chrono::milliseconds time) {
  const auto end = loop.once(time, [&loop] { loop.exit(0); });
  ASSERT_EQ(loop.run(), 0);
}

TEST(Win32EventLoopTest, TimersFireInTheOrderOfTheirDelays) {
  Win32EventLoop loop;
  std::vector<int> fired;
  std::vector<std::unique_ptr<screen::Timer>> timers;
  for (int delay : {90, 30, 120, 60}) {
    timers.push_back(loop.once(std::chrono::milliseconds(delay), [&fired, delay] { fired.push_back(delay); }));
  }
  int ticks = 0;
  const auto repeating = loop.repeat(25ms, [&ticks] { ++ticks; });
  run_for(loop, 210ms);
  EXPECT_EQ(fired, (std::vector<int>{30, 60, 90, 120}));
  EXPECT_GE(ticks, 6);
  EXPECT_LE(ticks, 9);
}

// Each case counts the ticks of timer `a` in 150 ms.
struct StopCase {
  const char* name;
  std::function<void(Win32EventLoop&, int& a_ticks, std::unique_ptr<screen::Timer>& a,
                     std::unique_ptr<screen::Timer>& b)>
      start;
  int expected_ticks;
};

const StopCase kStopCases[] = {
    {"a tick destroys its own timer",
     [](Win32EventLoop& loop, int& ticks, auto& a, auto&) {
       a = loop.repeat(10ms, [&] {
         if (++ticks == 3) a.reset();
       });
     },
     3},
    {"another timer's tick destroys it",
     [](Win32EventLoop& loop, int& ticks, auto& a, auto& b) {
       a = loop.repeat(10ms, [&] { ++ticks; });
       b = loop.once(45ms, [&] {
         a.reset();
         ticks = 100;
       });
     },
     100},
    {"a once timer destroyed before its delay",
     [](Win32EventLoop& loop, int& ticks, auto& a, auto&) {
       a = loop.once(10ms, [&] { ++ticks; });
       a.reset();
     },
     0},
    {"a once timer fires once though kept",
     [](Win32EventLoop& loop, int& ticks, auto& a, auto&) { a = loop.once(10ms, [&] { ++ticks; }); }, 1},
};

TEST(Win32EventLoopTest, TimersStopWhenTheirHandleGoesEvenFromATick) {
  for (const StopCase& test : kStopCases) {
    SCOPED_TRACE(test.name);
    Win32EventLoop loop;
    int ticks = 0;
    std::unique_ptr<screen::Timer> a;
    std::unique_ptr<screen::Timer> b;
    test.start(loop, ticks, a, b);
    run_for(loop, 150ms);
    EXPECT_EQ(ticks, test.expected_ticks);
  }
}

struct ModalCase {
  const char* name;
  std::function<void(Win32EventLoop&)> hold;
};

const ModalCase kModalCases[] = {
    {"message box",
     [](Win32EventLoop& loop) {
       // Closed by a timer once the posts are in.
       const auto closer = loop.once(250ms, [] {
         if (HWND box = FindWindowW(nullptr, L"Loop test box")) PostMessageW(box, WM_COMMAND, IDOK, 0);
       });
       MessageBoxW(nullptr, L"Les minuteries tournent", L"Loop test box", MB_OK);
     }},
    {"growth pause", [](Win32EventLoop& loop) { loop.pause_with_events(250ms); }},
};

TEST(Win32EventLoopTest, TimersAndPostsGoOnInsideModalLoops) {
  for (const ModalCase& test : kModalCases) {
    SCOPED_TRACE(test.name);
    Win32EventLoop loop;
    bool holding = false;
    int ticks_inside = 0;
    const auto ticking = loop.repeat(20ms, [&] { ticks_inside += holding ? 1 : 0; });
    auto target = loop.post_target();
    std::vector<int> ran_inside;
    std::thread worker([&] {
      for (int i = 0; i < 5; ++i) {
        Sleep(20);
        target->post([&ran_inside, &holding, i] {
          if (holding) ran_inside.push_back(i);
        });
      }
    });
    holding = true;
    const auto start = Clock::now();
    test.hold(loop);
    holding = false;
    worker.join();
    EXPECT_GE(Clock::now() - start, 240ms);
    EXPECT_GE(ticks_inside, 8);
    EXPECT_EQ(ran_inside, (std::vector<int>{0, 1, 2, 3, 4}));
  }
}

TEST(Win32EventLoopTest, PostsFromOtherThreadsRunInOrderOnTheWindowThread) {
  Win32EventLoop loop;
  const DWORD window_thread = GetCurrentThreadId();
  auto target = loop.post_target();
  constexpr int kThreads = 4;
  constexpr int kPosts = 1000;
  std::vector<std::vector<int>> ran(kThreads);
  bool elsewhere = false;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kPosts; ++i) {
        target->post([&, t, i] {
          elsewhere = elsewhere || GetCurrentThreadId() != window_thread;
          ran[t].push_back(i);
        });
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  target->post([&loop] { loop.exit(0); });
  ASSERT_EQ(loop.run(), 0);
  EXPECT_FALSE(elsewhere);
  for (const std::vector<int>& sequence : ran) {
    ASSERT_EQ(sequence.size(), std::size_t{kPosts});
    EXPECT_TRUE(std::is_sorted(sequence.begin(), sequence.end()));
  }
}

// Each case destroys target `a` somehow while its calls wait; calls to `b` go on.
struct DropCase {
  const char* name;
  std::function<std::unique_ptr<screen::Timer>(Win32EventLoop&, std::unique_ptr<screen::PostTarget>& a,
                                               std::atomic<int>& a_ran)>
      act;
  int most_a_calls;
};

const DropCase kDropCases[] = {
    {"destroyed before the loop runs",
     [](Win32EventLoop&, auto& a, std::atomic<int>& ran) {
       for (int i = 0; i < 100; ++i) a->post([&ran] { ++ran; });
       a.reset();
       return nullptr;
     },
     0},
    {"destroyed by one of its calls",
     [](Win32EventLoop&, auto& a, std::atomic<int>& ran) {
       for (int i = 0; i < 100; ++i) {
         a->post([&ran, &a] {
           if (++ran == 10) a.reset();
         });
       }
       return nullptr;
     },
     10},
    {"destroyed while threads flood it",
     [](Win32EventLoop& loop, auto& a, std::atomic<int>& ran) {
       auto stop = std::make_shared<std::atomic<bool>>(false);
       auto workers = std::make_shared<std::vector<std::thread>>();
       for (int t = 0; t < 4; ++t) {
         workers->emplace_back([stop, &a, &ran] {
           while (!*stop) a->post([&ran] { ++ran; });
         });
       }
       // A timer of the window thread stops the flood, then destroys the
       // target with thousands of its calls waiting and their message on its way.
       return loop.once(30ms, [stop, workers, &a, &ran] {
         *stop = true;
         for (std::thread& worker : *workers) worker.join();
         a.reset();
         ran = 0;
       });
     },
     0},
};

TEST(Win32EventLoopTest, CallsOfADestroyedTargetAreDropped) {
  for (const DropCase& test : kDropCases) {
    SCOPED_TRACE(test.name);
    Win32EventLoop loop;
    auto a = loop.post_target();
    auto b = loop.post_target();
    std::atomic<int> a_ran = 0;
    int b_ran = 0;
    b->post([&b_ran] { ++b_ran; });
    const auto keep = test.act(loop, a, a_ran);
    b->post([&b_ran] { ++b_ran; });
    run_for(loop, 300ms);
    EXPECT_EQ(a, nullptr);
    EXPECT_LE(a_ran, test.most_a_calls);
    EXPECT_EQ(b_ran, 2);
  }
}

// Posting in bursts faster than the calls run still leaves timers, and so
// input and painting, which come before them, their turn.
TEST(Win32EventLoopTest, AFloodOfPostsLeavesTimersTheirTurn) {
  Win32EventLoop loop;
  auto target = loop.post_target();
  static constexpr int kPosts = 40'000;
  int ran = 0;
  int ticks_while_flooded = 0;
  const auto ticking = loop.repeat(20ms, [&] { ticks_while_flooded += ran < kPosts ? 1 : 0; });
  std::thread worker([&] {
    for (int i = 0; i < kPosts; ++i) {
      target->post([&ran] {
        const auto start = Clock::now();
        while (Clock::now() - start < 20us) {
        }
        if (++ran == kPosts) PostQuitMessage(0);
      });
    }
  });
  EXPECT_EQ(loop.run(), 0);
  worker.join();
  EXPECT_EQ(ran, kPosts);
  EXPECT_GE(ticks_while_flooded, 10);
}

struct ExitCase {
  const char* name;
  std::function<void(Win32EventLoop&)> between_exit_and_run;
};

const ExitCase kExitCases[] = {
    {"nothing", [](Win32EventLoop&) {}},
    {"a growth pause, which the exit cuts short",
     [](Win32EventLoop& loop) {
       const auto start = Clock::now();
       loop.pause_with_events(2s);
       EXPECT_LT(Clock::now() - start, 1s);
     }},
};

TEST(Win32EventLoopTest, AnExitBeforeRunEndsItAtOnce) {
  for (const ExitCase& test : kExitCases) {
    SCOPED_TRACE(test.name);
    Win32EventLoop loop;
    loop.exit(3);
    test.between_exit_and_run(loop);
    int ticks = 0;
    const auto ticking = loop.repeat(10ms, [&ticks] { ++ticks; });
    EXPECT_EQ(loop.run(), 3);
    EXPECT_EQ(ticks, 0);
  }
}

struct TerminationCase {
  const char* name;
  int requests_before_watch;
  int requests_while_watched;
  int expected_served;
};

const TerminationCase kTerminationCases[] = {
    {"none", 0, 0, 0},
    {"held from before the watch", 1, 0, 1},
    {"each one served", 2, 1, 3},
};

TEST(Win32EventLoopTest, TerminationRequestsAreServedByTheWatchAndHeldUntilThen) {
  for (const TerminationCase& test : kTerminationCases) {
    SCOPED_TRACE(test.name);
    Win32EventLoop loop;
    for (int i = 0; i < test.requests_before_watch; ++i) loop.request_termination();
    run_for(loop, 30ms);
    int served = 0;
    auto watch = loop.watch_termination_requests([&served] { ++served; });
    EXPECT_EQ(served, 0) << "served from inside the call that made the watch";
    for (int i = 0; i < test.requests_while_watched; ++i) loop.request_termination();
    run_for(loop, 30ms);
    EXPECT_EQ(served, test.expected_served);
  }
}

TEST(Win32EventLoopTest, ARequestAfterTheWatchWentWaitsForTheNextOne) {
  Win32EventLoop loop;
  int first = 0;
  int second = 0;
  auto watch = loop.watch_termination_requests([&first] { ++first; });
  watch.reset();
  loop.request_termination();
  run_for(loop, 30ms);
  watch = loop.watch_termination_requests([&second] { ++second; });
  run_for(loop, 30ms);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 1);
}

}  // namespace
}  // namespace marvok::ui::win32
