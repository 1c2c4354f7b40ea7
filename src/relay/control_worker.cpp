#include "relay/control_worker.h"

#include <chrono>

#include "platform/worker_threads.h"
#include "state/session_state.h"

namespace marvok::relay {

namespace {

using std::chrono::milliseconds;

}  // namespace

void ControlWorker::send_list_request(int voice_port) {
  session_.ControlSocket.send_to(std::span(buffer_.data(), write_list_request(buffer_)),
                                 session_.relay_port(voice_port + kControlPortOffset));
}

void ControlWorker::send_turn() {
  const int channel_port = state_.channel.ChannelPort.load(std::memory_order_relaxed);
  if (list_turn_) {
    send_list_request(channel_port);
    send_list_request(voice_port_of(rotation_));
    rotation_ = (rotation_ + 1) % kChannelCount;
  } else {
    session_.ControlSocket.send_to(std::span(buffer_.data(), write_alive(buffer_)),
                                   session_.relay_port(channel_port + kControlPortOffset));
  }
  list_turn_ = !list_turn_;
  set_led(state_.lights.SvcLed, LedColor::Blue);
}

ControlWorker::Reply ControlWorker::handle_datagram(Bytes datagram) {
  set_led(state_.lights.SvcLed, LedColor::Green);
  if (const std::optional<std::uint8_t> code = read_notice(datagram)) {
    if (*code == kNoticeVersionTooOld)
      notices_.version_too_old();
    else if (*code == kNoticeSupervisorCloses)
      notices_.supervisor_closes();
    set_led(state_.lights.SvcLed, LedColor::Yellow);
    return Reply::Notice;
  }
  if (const std::optional<MemberList> list = read_member_list(datagram)) {
    store_member_list(*list);
    return Reply::MemberList;
  }
  return Reply::Nothing;
}

void ControlWorker::handle_no_answer() { set_led(state_.lights.SvcLed, LedColor::Red); }

void ControlWorker::store_member_list(const MemberList& list) {
  const auto row = static_cast<std::size_t>(list.channel);
  members_.ChannelMemberCounts[row].store(list.count, std::memory_order_relaxed);
  if (list.channel == state_.channel.ChannelPort.load(std::memory_order_relaxed) - kFirstVoicePort)
    state_.channel.ChannelMemberCount.store(list.count, std::memory_order_relaxed);
  for (int i = 0; i < list.count; ++i)
    members_.ChannelMembers[row][static_cast<std::size_t>(i)].store(list.members[static_cast<std::size_t>(i)],
                                                                    std::memory_order_relaxed);
}

void run_control_worker(std::stop_token stop, const RelaySession& session, ControlWorker& worker) {
  Buffer buffer{};
  while (!stop.stop_requested()) {
    worker.send_turn();
    if (!sleep_unless_stopped(stop, milliseconds(200))) return;

    std::optional<platform::UdpSocket::Received> received;
    if (session.ControlSocket.wait_readable(milliseconds(500)) == platform::UdpSocket::Wait::Readable)
      received = session.ControlSocket.receive(buffer);
    if (!received || !session.from_relay(received->from)) {
      worker.handle_no_answer();
      if (!sleep_unless_stopped(stop, milliseconds(500))) return;
      continue;
    }
    const ControlWorker::Reply reply = worker.handle_datagram(std::span(buffer.data(), received->size));
    if (!sleep_unless_stopped(stop, milliseconds(reply == ControlWorker::Reply::Notice ? 700 : 500))) return;
  }
}

}  // namespace marvok::relay
