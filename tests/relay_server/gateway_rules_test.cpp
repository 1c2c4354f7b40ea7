#include "gateway_rules.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace marvok::relay_server {
namespace {

GatewayRules rules_for(std::string_view public_address, std::vector<std::string_view> hosts) {
  return gateway_rules(public_address, hosts);
}

TEST(GatewayRules, SendsBothPortsOfEachChannelToItsHost) {
  struct Case {
    std::vector<std::string_view> hosts;
    const char* host_letters;  // channel n's host: 'a' 10.0.0.2, 'b' 10.0.0.3, 'c' 192.168.7.40
  };
  const Case cases[] = {
      {{"10.0.0.2=0-10"}, "aaaaaaaaaaa"},
      {{"10.0.0.3=6-10", "10.0.0.2=0-5"}, "aaaaaabbbbb"},
      {{"10.0.0.2=0,3,7-9", "192.168.7.40=1-2,10", "10.0.0.3=4-6"}, "accabbbaaac"},
  };
  const std::map<char, std::string> address_of = {{'a', "10.0.0.2"}, {'b', "10.0.0.3"}, {'c', "192.168.7.40"}};
  for (const Case& test : cases) {
    const GatewayRules rules = rules_for("203.0.113.7", test.hosts);
    ASSERT_EQ(rules.error, "");
    EXPECT_NE(rules.ruleset.find("ip daddr 203.0.113.7 "), std::string::npos) << rules.ruleset;
    std::multimap<int, std::string> destinations;
    const std::regex entry(R"((\d+) : (\d+\.\d+\.\d+\.\d+))");
    for (std::sregex_iterator found(rules.ruleset.begin(), rules.ruleset.end(), entry), end; found != end; ++found)
      destinations.emplace(std::stoi((*found)[1]), (*found)[2]);
    EXPECT_EQ(destinations.size(), 22u) << rules.ruleset;
    for (int channel = 0; channel < 11; ++channel) {
      for (const int port : {30000 + channel, 31000 + channel}) {
        ASSERT_EQ(destinations.count(port), 1u) << "port " << port << "\n" << rules.ruleset;
        EXPECT_EQ(destinations.find(port)->second, address_of.at(test.host_letters[channel])) << "port " << port;
      }
    }
  }
}

TEST(GatewayRules, RefusesTablesItCannotServe) {
  struct Case {
    std::string_view public_address;
    std::vector<std::string_view> hosts;
    const char* reason;
  };
  const Case cases[] = {
      {"203.0.113.7", {"10.0.0.2=0-5", "10.0.0.3=7-10"}, "no host serves channel(s) 6"},
      {"203.0.113.7", {"10.0.0.2=0-5", "10.0.0.3=5-10"}, "channel 5 is given to both 10.0.0.2 and 10.0.0.3"},
      {"203.0.113.7", {"10.0.0.2=0-10", "10.0.0.2=3"}, "channel 3 is given to both"},
      {"203.0.113.7", {"10.0.0.2=0-11"}, "are not a list"},
      {"203.0.113.7", {"10.0.0.2"}, "--host needs ADDRESS=CHANNELS"},
      {"203.0.113.7", {"10.0.0.256=0-10"}, "the host 10.0.0.256 is not an IPv4 address"},
      {"203.0.113.7", {"fd00::2=0-10"}, "the host fd00::2 is not"},
      {"gateway.example", {"10.0.0.2=0-10"}, "the public address gateway.example is not an IPv4 address"},
  };
  for (const Case& test : cases) {
    const GatewayRules rules = rules_for(test.public_address, test.hosts);
    EXPECT_NE(rules.error.find(test.reason), std::string::npos) << test.reason << ", got: " << rules.error;
    EXPECT_EQ(rules.ruleset, "") << test.reason;
  }
}

// The suite runs in a network namespace of its own, so checking touches
// nothing of the machine's.
TEST(GatewayRules, TheRealNftAcceptsThem) {
  const std::string nft = "/usr/sbin/nft";
  if (::access(nft.c_str(), X_OK) != 0) GTEST_SKIP() << "nft is not installed (Debian package nftables)";
  const GatewayRules rules = rules_for("203.0.113.7", {"10.0.0.2=0,3,7-9", "10.0.0.3=1-2,4-6,10"});
  const std::string path = ::testing::TempDir() + "gateway." + std::to_string(::getpid()) + ".nft";
  std::ofstream(path) << rules.ruleset;
  const int status = std::system((nft + " -c -f " + path).c_str());
  std::remove(path.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << rules.ruleset;
}

}  // namespace
}  // namespace marvok::relay_server
