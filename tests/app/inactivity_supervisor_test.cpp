#include "app/inactivity_supervisor.h"

#include <gtest/gtest.h>

#include <vector>

#include "screen/text_panels.h"
#include "state/session_state.h"
#include "ui/qt/qt_event_loop.h"

namespace marvok {
namespace {

class InactivitySupervisorTest : public ::testing::Test {
 protected:
  ui::QtEventLoop loop_;
  std::atomic<std::int32_t> seconds_left_{0};
  std::vector<std::u16string> shown_;
  int expiries_ = 0;
  InactivitySupervisor supervisor_{loop_,
                                   seconds_left_,
                                   {[this](int left) { shown_.push_back(screen::format_countdown(left)); },
                                    [this] {
                                      ++expiries_;
                                      shown_.push_back(u"notice");
                                    }}};
};

TEST_F(InactivitySupervisorTest, CountsDownFromTheFullCountAndARestartStartsOver) {
  supervisor_.start();
  EXPECT_TRUE(shown_.empty());  // nothing before the first tick
  supervisor_.tick();
  supervisor_.tick();
  seconds_left_ = kCountdownSeconds;  // a key released
  supervisor_.tick();
  EXPECT_EQ(shown_, (std::vector<std::u16string>{u"01:14:59", u"01:14:58", u"01:14:59"}));
  EXPECT_TRUE(supervisor_.running());
}

TEST_F(InactivitySupervisorTest, ShowsZeroForOneTickThenTheNoticeAndStops) {
  supervisor_.start();
  seconds_left_ = 1;
  supervisor_.tick();
  EXPECT_EQ(expiries_, 0);
  supervisor_.tick();
  EXPECT_EQ(expiries_, 1);
  EXPECT_EQ(seconds_left_.load(), 0);
  EXPECT_FALSE(supervisor_.running());
  EXPECT_EQ(shown_, (std::vector<std::u16string>{u"00:00:00", u"notice", u"00:00:00"}));
  supervisor_.stop();  // stopping again at shutdown does nothing
  EXPECT_FALSE(supervisor_.running());
}

}  // namespace
}  // namespace marvok
