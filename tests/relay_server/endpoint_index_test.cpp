#include "endpoint_index.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace marvok::relay_server {
namespace {

// Removal shifts neighbours back into place; a random workload on a full
// table checks that no entry ever becomes unreachable.
TEST(EndpointIndex, AgreesWithAMapThroughManyInsertionsAndRemovals) {
  constexpr std::size_t kCapacity = 64;
  EndpointIndex index(kCapacity);
  std::map<std::pair<std::uint32_t, std::uint16_t>, std::uint16_t> expected;
  std::mt19937 random(11);
  // Few addresses and ports, so keys collide and return often.
  const auto random_endpoint = [&] {
    return platform::Endpoint{static_cast<std::uint32_t>(0x7F000001u + random() % 3),
                              static_cast<std::uint16_t>(40000 + random() % 40)};
  };

  for (int step = 0; step < 20000; ++step) {
    const platform::Endpoint endpoint = random_endpoint();
    const auto key = std::make_pair(endpoint.address, endpoint.port);
    if (random() % 2 == 0 && expected.size() < kCapacity) {
      const auto slot = static_cast<std::uint16_t>(step % 1000);
      index.insert(endpoint, slot);
      expected[key] = slot;
    } else {
      index.erase(endpoint);
      expected.erase(key);
    }
    const platform::Endpoint probe = random_endpoint();
    const auto found = expected.find({probe.address, probe.port});
    ASSERT_EQ(index.find(probe), found == expected.end() ? EndpointIndex::kNone : found->second) << "step " << step;
  }
  for (const auto& [key, slot] : expected) EXPECT_EQ(index.find({key.first, key.second}), slot);
}

}  // namespace
}  // namespace marvok::relay_server
