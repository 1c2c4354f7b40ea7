#include <gtest/gtest.h>

#include "channel_list.h"
#include "running_relay.h"
#include "support/postgres_server.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

constexpr std::uint32_t kHostA = kLoopback;   // channels 0-5
constexpr std::uint32_t kHostB = 0x7F000002;  // channels 6-10
constexpr std::uint32_t kMemberMachine = 0x7F000005;
constexpr std::uint32_t kStranger = 0x7F000009;

RelayConfig host_config(std::uint32_t address, std::string_view channels, const std::string& shared_state) {
  RelayConfig config = test_config();
  config.address = address;
  config.channels = *parse_channel_list(channels);
  config.shared_state = shared_state;
  config.max_clients_per_address = 2;
  // Members stay while the database goes and comes back, without presence.
  config.client_timeout = std::chrono::seconds(60);
  return config;
}

// Two relay hosts, each with half the channels, sharing one database.
class TwoHosts : public ::testing::Test {
 protected:
  static std::string new_database(marvok::testing::PostgresServer& server) {
    server.create_database("relay");
    return server.url_of("relay");
  }

  marvok::testing::PostgresServer server_;
  const std::string url_ = new_database(server_);
  RunningRelay host_a_{host_config(kHostA, "0-5", url_)};
  RunningRelay host_b_{host_config(kHostB, "6-10", url_)};
  // Bob on channel 8 of host B, alice on channel 0 of host A.
  TestClient bob{2, "0.7.8", kStranger};
  TestClient alice{1, "0.7.8", kMemberMachine};

  void join_both() {
    bob.use_relay(kHostB);
    bob.join(8);
    alice.join(0);
  }
};

// Asks host B for channel 8's members until they come or `patience` runs out.
bool lists_from_b(TestClient& asker, std::chrono::milliseconds patience) {
  asker.use_relay(kHostB);
  const auto end = std::chrono::steady_clock::now() + patience;
  do {
    if (asker.ask_members(8, std::chrono::milliseconds(200))) return true;
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

TEST_F(TwoHosts, AddressesWithMembersOnOneHostGetTheOtherHostsListsAndCountAgainstItsCap) {
  join_both();
  EXPECT_TRUE(lists_from_b(alice, std::chrono::seconds(5))) << "host B never learned host A's member";
  TestClient stranger(3, "0.7.8", 0x7F00000A);
  EXPECT_FALSE(lists_from_b(stranger, std::chrono::milliseconds(600))) << "a list went to an address with no member";

  // Two clients per address: alice's second machine fills it on A, so B admits no third.
  TestClient alice_laptop(4, "0.7.8", kMemberMachine);
  alice_laptop.join(1);
  std::this_thread::sleep_for(SharedState::kPeriod * 3);
  TestClient alice_phone(5, "0.7.8", kMemberMachine);
  alice_phone.use_relay(kHostB);
  alice_phone.announce(9);
  EXPECT_FALSE(alice_phone.wait_until_listed(9, 5, true, std::chrono::milliseconds(800)))
      << "admitted past the cap counted across hosts";
}

TEST_F(TwoHosts, WithoutTheDatabaseEachHostGoesOnAloneAndComesBackByItself) {
  join_both();
  ASSERT_TRUE(lists_from_b(alice, std::chrono::seconds(5)));

  server_.stop();
  std::this_thread::sleep_for(SharedState::kStale + SharedState::kPeriod * 2);
  EXPECT_FALSE(lists_from_b(alice, std::chrono::milliseconds(600))) << "host B still trusts what it can no longer read";
  EXPECT_TRUE(bob.wait_until_listed(8, 2)) << "host B stopped serving its own members";
  alice.use_relay(kHostA);
  EXPECT_TRUE(alice.wait_until_listed(0, 1));

  server_.start();
  EXPECT_TRUE(lists_from_b(alice, std::chrono::seconds(5))) << "the hosts did not share again";
}

}  // namespace
}  // namespace marvok::relay_server::testing
