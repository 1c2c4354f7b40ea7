#include "usage.h"

#include <gtest/gtest.h>

namespace marvok::command_line {
namespace {

TEST(Usage, ListsTheOptionsInOneColumnThenHelp) {
  constexpr Option kUsageTable[] = {
      {"--address", "IPV4", "address to serve on"},
      {"--client-timeout-ms", "MS", "forget a client silent this long,\nthen forget it"},
      {"--quiet", "", "say less"},
  };
  EXPECT_EQ(describe_options(kUsageTable),
            "  --address IPV4           address to serve on\n"
            "  --client-timeout-ms MS   forget a client silent this long,\n"
            "                           then forget it\n"
            "  --quiet                  say less\n"
            "  --help                   print this text\n");
}

TEST(Usage, EvenWithoutOptionsHelpIsListed) { EXPECT_EQ(describe_options({}), "  --help   print this text\n"); }

}  // namespace
}  // namespace marvok::command_line
