#include "pairing_memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace marvok::relay_server {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

std::string scratch_file(const char* name) { return ::testing::TempDir() + name + "." + std::to_string(::getpid()); }

TEST(PairingMemory, ReadsOnlyWholePairingLines) {
  struct Case {
    const char* line;
    std::optional<Pairing> expected;
  };
  const Case cases[] = {
      {"127.0.0.1:40000 127.0.0.1:40001", Pairing{{kLoopback, 40000}, {kLoopback, 40001}}},
      {"10.1.2.3:1 192.168.0.9:65535", Pairing{{0x0A010203, 1}, {0xC0A80009, 65535}}},
      {"", std::nullopt},
      {"127.0.0.1:40000", std::nullopt},
      {"127.0.0.1:40000 127.0.0.1:65536", std::nullopt},
      {"127.0.0.1:40000 127.0.0.1:0", std::nullopt},
      {"127.0.0.1:40000 127.0.0.1:-5", std::nullopt},
      {"127.0.0.1:40000 127.0.0.1:12x", std::nullopt},
      {"127.0.0.1:40000  127.0.0.1:40001", std::nullopt},
      {"300.0.0.1:40000 127.0.0.1:40001", std::nullopt},
      {"127.0.0.1 127.0.0.1:40001", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const auto pairing = PairingMemory::parse_line(c.line);
    ASSERT_EQ(pairing.has_value(), c.expected.has_value());
    if (!pairing) continue;
    EXPECT_EQ(pairing->voice, c.expected->voice);
    EXPECT_EQ(pairing->control, c.expected->control);
  }
}

TEST(PairingMemory, KeepsWhatItSavedSkipsJunkAndGivesEachPairingOutOnce) {
  const std::string path = scratch_file("pairings");
  const Pairing first{{kLoopback, 40000}, {kLoopback, 40001}};
  const Pairing second{{kLoopback, 40002}, {kLoopback, 40003}};
  const Pairing third{{kLoopback, 40004}, {kLoopback, 40005}};
  ASSERT_TRUE(PairingMemory::save(path, std::vector<Pairing>{first, second, third}));
  // Junk and an overlong line in the middle, as a damaged file might hold.
  std::FILE* file = std::fopen(path.c_str(), "a");
  std::fputs("garbage\n", file);
  std::fputs(std::string(500, '9').append("\n").c_str(), file);
  std::fputs("127.0.0.1:40000 127.0.0.1:49999\n", file);  // a second pairing for one voice socket
  std::fclose(file);

  PairingMemory memory(2);
  memory.load(path);
  EXPECT_EQ(memory.remaining().size(), 2U) << "more than the capacity was kept";
  EXPECT_EQ(memory.take(first.voice), first.control);
  EXPECT_FALSE(memory.take(first.voice));
  EXPECT_FALSE(memory.take(third.voice));
  ASSERT_EQ(memory.remaining().size(), 1U);
  EXPECT_EQ(memory.remaining()[0].voice, second.voice);
  EXPECT_TRUE(memory.has_unclaimed());
  memory.clear();
  EXPECT_FALSE(memory.take(second.voice));

  memory.load(path + ".missing");
  EXPECT_FALSE(memory.has_unclaimed());
  EXPECT_FALSE(PairingMemory::save("/nonexistent-dir/pairings", std::vector<Pairing>{first}));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace marvok::relay_server
