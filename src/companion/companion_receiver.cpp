#include "companion/companion_receiver.h"

#include <array>
#include <chrono>

#include "platform/worker_threads.h"

namespace marvok::companion {

namespace {

constexpr auto kReceiveWait = std::chrono::milliseconds(500);
constexpr auto kPause = std::chrono::milliseconds(100);

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
  while (!stop.stop_requested()) {
    const Wait wait = socket.wait_readable(kReceiveWait);
    if (wait == Wait::TimedOut) continue;
    // An inert link fails at once: idle as a quiet one would.
    if (wait == Wait::Failed) {
      if (!sleep_unless_stopped(stop, kReceiveWait)) return;
      continue;
    }
    // Only the first byte means anything; a longer report is cut, not dropped.
    if (socket.receive(buffer, platform::UdpSocket::Oversize::Cut))
      if (const auto key = reported_key(buffer[0])) talk.set_key(*key);
    if (!sleep_unless_stopped(stop, kPause)) return;
  }
}

}  // namespace marvok::companion
