#include "connections_per_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <vector>

namespace marvok::web_server {
namespace {

// A numeric address as the system hands it over with a connection.
class Address {
 public:
  explicit Address(const char* text) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage_);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage_);
    if (::inet_pton(AF_INET, text, &v4->sin_addr) == 1) {
      v4->sin_family = AF_INET;
    } else if (::inet_pton(AF_INET6, text, &v6->sin6_addr) == 1) {
      v6->sin6_family = AF_INET6;
    } else {
      ADD_FAILURE() << text << " is not an address";
    }
  }
  operator const sockaddr*() const { return reinterpret_cast<const sockaddr*>(&storage_); }

 private:
  sockaddr_storage storage_{};
};

TEST(ConnectionsPerAddress, CountsEachIpv4AddressAndIpv6NetworkAndSparesLoopbackUnlessAsked) {
  struct Case {
    const char* holding;  // holds the cap
    const char* next;
    bool limit_loopback;
    bool admitted;
  };
  const std::vector<Case> cases = {
      {"198.51.100.7", "198.51.100.7", false, false},
      {"198.51.100.7", "::ffff:198.51.100.7", false, false},  // as a dual-stack socket shows it
      {"198.51.100.7", "198.51.100.8", false, true},
      {"2001:db8:1:2::10", "2001:db8:1:2:aaaa:bbbb:cccc:dddd", false, false},  // the same /64
      {"2001:db8:1:2::10", "2001:db8:1:3::10", false, true},
      {"127.0.0.1", "127.0.0.1", false, true},
      {"127.8.9.10", "127.8.9.10", false, true},
      {"::1", "::1", false, true},
      {"::ffff:127.0.0.1", "::ffff:127.0.0.1", false, true},
      {"127.0.0.1", "127.0.0.1", true, false},
      {"127.0.0.1", "127.0.0.2", true, true},
      {"::1", "::1", true, false},
  };
  for (const Case& c : cases) {
    ConnectionsPerAddress connections(2, c.limit_loopback);
    connections.opened(Address(c.holding));
    connections.opened(Address(c.holding));
    EXPECT_EQ(connections.admits(Address(c.next)), c.admitted)
        << c.holding << " then " << c.next << (c.limit_loopback ? ", loopback limited" : "");
  }
}

TEST(ConnectionsPerAddress, ClosingGivesTheRoomBackAndNeverMore) {
  ConnectionsPerAddress connections(2, false);
  const Address address("203.0.113.5");
  connections.closed(address);  // never counted: it leaves no room beyond the cap
  connections.opened(address);
  connections.opened(address);
  EXPECT_FALSE(connections.admits(address));
  connections.closed(address);
  EXPECT_TRUE(connections.admits(address));
}

}  // namespace
}  // namespace marvok::web_server
