#include "relay/relay_session.h"

#include <chrono>
#include <cstring>
#include <string_view>

#include "platform/worker_threads.h"
#include "state/session_state.h"

namespace marvok::relay {

int relay_setup(RelaySession& session, std::uint32_t relay_address, LightsState& lights) {
  session.relay_address = relay_address;
  Buffer buffer{};
  const platform::Endpoint first_voice_port = session.relay_port(kFirstVoicePort);

  auto voice = platform::UdpSocket::open_ephemeral();
  if (!voice) {
    set_led(lights.UdpLed, LedColor::Red);
    return -1;
  }
  session.VoiceSocket = std::move(*voice);
  // Room for bursts while the receiving thread waits for a processor.
  session.VoiceSocket.enlarge_receive_queue(kVoiceReceiveQueueBytes);
  session.VoiceSocket.send_to(std::span(buffer.data(), write_voice_hello(buffer)), first_voice_port);
  set_led(lights.UdpLed, LedColor::Yellow);

  auto control = platform::UdpSocket::open_ephemeral();
  if (!control) {
    set_led(lights.SvcLed, LedColor::Red);
    return -1;
  }
  session.ControlSocket = std::move(*control);
  session.ControlSocket.send_to(std::span(buffer.data(), write_control_hello(buffer)), first_voice_port);
  set_led(lights.SvcLed, LedColor::Yellow);
  return 0;
}

void PresenceSender::send_presence(const RelaySession& session) {
  status_cycle_ = (status_cycle_ + 1) % 3;
  constexpr PresenceVariant kByCycle[] = {PresenceVariant::Version, PresenceVariant::Name, PresenceVariant::Device};
  const auto& id = identity_.MachineId;
  const std::string_view machine_id(id.data(), ::strnlen(id.data(), id.size()));
  const std::size_t size = write_presence(
      buffer_, kByCycle[status_cycle_], identity_.MemberId.load(std::memory_order_relaxed), kClientVersion, machine_id);
  session.VoiceSocket.send_to(std::span(buffer_.data(), size),
                              session.relay_port(channel_.ChannelPort.load(std::memory_order_relaxed)));
}

void run_presence_worker(std::stop_token stop, const RelaySession& session, const IdentityState& identity,
                         const ChannelState& channel) {
  using std::chrono::milliseconds;
  PresenceSender presence(identity, channel);
  do {
    presence.send_presence(session);
  } while (sleep_unless_stopped(stop, channel.ChannelPort.load(std::memory_order_relaxed) == voice_port_of(3)
                                          ? milliseconds(15)
                                          : milliseconds(20)));
}

}  // namespace marvok::relay
