#include "companion/companion_receiver.h"

#include <array>
#include <chrono>

#include "platform/worker_threads.h"

namespace marvok::companion {

namespace {

constexpr auto kReceiveWait = std::chrono::milliseconds(500);
constexpr auto kPause = std::chrono::milliseconds(100);
constexpr auto kKeyerCheckPeriod = std::chrono::seconds(1);

}  // namespace

std::optional<TalkValue> reported_key(std::uint8_t first_byte) {
  switch (first_byte) {
    case 'T': return TalkValue::Pressed;
    case 'R': return TalkValue::Released;
    default: return std::nullopt;
  }
}

void run_companion_receiver(std::stop_token stop, const CompanionLink& link, TalkState& talk) {
  using Wait = platform::UdpSocket::Wait;
  const platform::UdpSocket& socket = link.socket();
  std::array<std::uint8_t, 1024> buffer{};
  // Where the "T" that keyed the transmitter came from, until its "R". A
  // companion killed in between never sends that "R": once its socket has
  // gone, the key is released rather than left on the channel for good.
  std::optional<std::uint16_t> keyed_from;
  auto checked_at = std::chrono::steady_clock::now();
  while (!stop.stop_requested()) {
    if (keyed_from && std::chrono::steady_clock::now() - checked_at >= kKeyerCheckPeriod) {
      checked_at = std::chrono::steady_clock::now();
      if (platform::udp_port_use(*keyed_from) == platform::PortUse::Free) {
        talk.set_key(TalkValue::Released);
        keyed_from.reset();
      }
    }
    link.greet_started_companion();
    // A companion just started is looked for more often, so it is greeted as soon as it listens.
    const Wait wait = socket.wait_readable(link.greeting_waits() ? kPause : kReceiveWait);
    if (wait == Wait::TimedOut) continue;
    // An inert link fails at once: idle as a quiet one would.
    if (wait == Wait::Failed) {
      if (!sleep_unless_stopped(stop, kReceiveWait)) return;
      continue;
    }
    // Only the first byte means anything; a longer report is cut, not dropped.
    if (const auto received = socket.receive(buffer, platform::UdpSocket::Oversize::Cut)) {
      if (const auto key = reported_key(buffer[0])) {
        talk.set_key(*key);
        keyed_from = *key == TalkValue::Pressed ? std::optional(received->from.port) : std::nullopt;
        checked_at = std::chrono::steady_clock::now();
      }
    }
    if (!sleep_unless_stopped(stop, kPause)) return;
  }
}

}  // namespace marvok::companion
