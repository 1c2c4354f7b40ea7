#include "relay/control_worker.h"

#include <algorithm>
#include <chrono>

#include "state/session_state.h"

namespace marvok::relay {

void ControlWorker::send_list_request(int voice_port) {
  session_.ControlSocket.send_to(std::span(buffer_.data(), write_list_request(buffer_)),
                                 session_.relay_port(voice_port + kControlPortOffset));
}

void ControlWorker::send_turn() {
  const int channel_port = channel_.ChannelPort.load(std::memory_order_relaxed);
  if (list_turn_) {
    send_list_request(channel_port);
    send_list_request(voice_port_of(rotation_));
    rotation_ = (rotation_ + 1) % kChannelCount;
  } else {
    session_.ControlSocket.send_to(std::span(buffer_.data(), write_alive(buffer_)),
                                   session_.relay_port(channel_port + kControlPortOffset));
  }
  list_turn_ = !list_turn_;
  set_led(service_light_, LedColor::Blue);
}

ControlWorker::Reply ControlWorker::handle_datagram(Bytes datagram) {
  set_led(service_light_, LedColor::Green);
  if (const std::optional<std::uint8_t> code = read_notice(datagram)) {
    if (*code == kNoticeVersionTooOld) {
      notices_.version_too_old();
    } else if (*code == kNoticeSupervisorCloses) {
      notices_.supervisor_closes();
    }
    set_led(service_light_, LedColor::Yellow);
    return Reply::Notice;
  }
  if (const std::optional<MemberList> list = read_member_list(datagram)) {
    store_member_list(*list);
    return Reply::MemberList;
  }
  return Reply::Nothing;
}

void ControlWorker::handle_no_answer() { set_led(service_light_, LedColor::Red); }

void ControlWorker::store_member_list(const MemberList& list) {
  const auto row = static_cast<std::size_t>(list.channel);
  members_.ChannelMemberCounts[row].store(list.count, std::memory_order_relaxed);
  if (list.channel == channel_.ChannelPort.load(std::memory_order_relaxed) - kFirstVoicePort)
    channel_.ChannelMemberCount.store(list.count, std::memory_order_relaxed);
  for (int i = 0; i < list.count; ++i) {
    members_.ChannelMembers[row][static_cast<std::size_t>(i)].store(list.members[static_cast<std::size_t>(i)],
                                                                    std::memory_order_relaxed);
  }
}

namespace {

using std::chrono::milliseconds;

// The longest the worker waits on the socket before looking at its stop token.
constexpr milliseconds kStopCheckPeriod{100};

// What the relay said during one turn.
struct TurnAnswers {
  bool answered = false;
  bool notice = false;
};

enum class ListenEnd { Deadline, FirstAnswer };

// Reads and handles every datagram that arrives until `deadline` (or until the
// relay first answers): a flood of junk then never fills the socket's queue
// and pushes a notice or a list out of it. False when stopped.
bool listen_until(std::stop_token stop, const RelaySession& session, ControlWorker& worker,
                  std::chrono::steady_clock::time_point deadline, ListenEnd end, TurnAnswers& answers) {
  Buffer buffer{};
  for (;;) {
    if (stop.stop_requested()) return false;
    if (end == ListenEnd::FirstAnswer && answers.answered) return true;
    const auto left = std::chrono::ceil<milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left <= milliseconds(0)) return true;
    if (session.ControlSocket.wait_readable(std::min(left, kStopCheckPeriod)) != platform::UdpSocket::Wait::Readable)
      continue;
    const std::optional<platform::UdpSocket::Received> received = session.ControlSocket.receive(buffer);
    if (!received || !session.from_relay(received->from)) continue;
    answers.answered = true;
    if (worker.handle_datagram(std::span(buffer.data(), received->size)) == ControlWorker::Reply::Notice)
      answers.notice = true;
  }
}

}  // namespace

void run_control_worker(std::stop_token stop, const RelaySession& session, ControlWorker& worker) {
  using Clock = std::chrono::steady_clock;
  while (!stop.stop_requested()) {
    worker.send_turn();
    TurnAnswers answers;
    if (!listen_until(stop, session, worker, Clock::now() + milliseconds(200), ListenEnd::Deadline, answers)) return;
    if (!listen_until(stop, session, worker, Clock::now() + milliseconds(500), ListenEnd::FirstAnswer, answers)) return;
    if (!answers.answered) worker.handle_no_answer();
    const milliseconds rest(answers.notice ? 700 : 500);
    if (!listen_until(stop, session, worker, Clock::now() + rest, ListenEnd::Deadline, answers)) return;
  }
}

}  // namespace marvok::relay
