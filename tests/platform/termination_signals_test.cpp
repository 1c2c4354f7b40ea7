#include "platform/termination_signals.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <csignal>

namespace marvok::platform {
namespace {

bool request_held(int descriptor) {
  pollfd watched{descriptor, POLLIN, 0};
  return ::poll(&watched, 1, 0) == 1 && (watched.revents & POLLIN) != 0;
}

TEST(TerminationSignalsTest, HoldsEachRequestUntilTaken) {
  catch_termination_signals();
  const int descriptor = termination_request_descriptor();
  ASSERT_GE(descriptor, 0);
  EXPECT_FALSE(request_held(descriptor));

  // Each kind of request, sent before anyone watches, is held rather than ending the test.
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    ASSERT_EQ(std::raise(signal_number), 0);
    EXPECT_TRUE(request_held(descriptor));
    take_termination_request();
    EXPECT_FALSE(request_held(descriptor));
  }

  // Two requests are two to take; catching again keeps the same descriptor.
  catch_termination_signals();
  EXPECT_EQ(termination_request_descriptor(), descriptor);
  ASSERT_EQ(std::raise(SIGTERM), 0);
  ASSERT_EQ(std::raise(SIGTERM), 0);
  take_termination_request();
  EXPECT_TRUE(request_held(descriptor));
  take_termination_request();
  EXPECT_FALSE(request_held(descriptor));
}

}  // namespace
}  // namespace marvok::platform
