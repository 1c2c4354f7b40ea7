#include <gtest/gtest.h>

#include <random>

#include "running_relay.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

Datagram bytes_of(std::string_view text) { return {text.begin(), text.end()}; }

Datagram presence_of_size(std::size_t size, std::uint8_t variant) {
  Datagram datagram(size, '1');
  datagram[0] = 'R';
  datagram[1] = '.';
  if (size > 9) datagram[9] = variant;
  return datagram;
}

TEST(RelayBadInput, MalformedDatagramsAreCountedAndDroppedWhileTheRelayGoesOn) {
  RunningRelay relay;
  TestClient sender(1);
  const int voice_port = relay::voice_port_of(2);
  const int control_port = relay::control_port_of(2);

  std::vector<std::pair<int, Datagram>> bad = {
      {voice_port, bytes_of("R")},
      {voice_port, presence_of_size(9, 0)},       // presence head without a variant
      {voice_port, presence_of_size(20, 'X')},    // unknown variant
      {voice_port, presence_of_size(12, 'V')},    // version cut short
      {voice_port, presence_of_size(20, 'D')},    // device text never ends
      {voice_port, Datagram(1023, 'A')},          // speech one byte short
      {voice_port, Datagram{'L', 0, 0}},          // list request on a voice port
      {voice_port, bytes_of("T.WI")},             // hello cut short
      {control_port, Datagram(4, 'L')},           // list request too long
      {control_port, presence_of_size(14, 'V')},  // presence on a control port
      {control_port, Datagram(9, 0)},             // not a hello, and on the wrong port anyway
      {relay::control_port_of(10), bytes_of("Z")},
  };
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    Datagram noise(1 + random() % relay::kMaxDatagramSize);
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
    noise[0] = 0xFE;  // no datagram kind starts so
    const int port = i % 2 == 0 ? relay::voice_port_of(i % 11) : relay::control_port_of(i % 11);
    bad.emplace_back(port, std::move(noise));
  }
  for (const auto& [port, datagram] : bad) sender.send_raw(port, datagram);
  // Too large to be anything: dropped before the relay looks at it.
  sender.send_raw(voice_port, Datagram(1025, 'A'));
  sender.send_raw(control_port, Datagram(4000, 'L'));

  TestClient alice(2);
  TestClient bob(3);
  alice.join(2);
  bob.join(2);
  alice.speak(2, filled_block(6));
  EXPECT_TRUE(bob.receive_voice());

  // A command passes through every event loop after what waits on its ports.
  relay.command("list");
  relay.stop();
  EXPECT_EQ(relay.counters().bad_datagrams, bad.size());
}

}  // namespace
}  // namespace marvok::relay_server::testing
