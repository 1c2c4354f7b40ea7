#pragma once

#include <stop_token>

#include "relay/datagrams.h"
#include "relay/member_table.h"
#include "relay/relay_session.h"
#include "state/session_state.h"

namespace marvok::relay {

// What the client does when the relay's supervisor speaks. Each call returns
// once the member has seen the notice and the client has been told to close.
class SupervisorNotices {
 public:
  virtual ~SupervisorNotices() = default;
  // The client's version is too old: warn, open the installer page, close.
  virtual void version_too_old() = 0;
  // The supervisor closes the client: show the notice, then close.
  virtual void supervisor_closes() = 0;
};

// The client's conversation on the control socket: member lists asked for in
// turns with alive datagrams, the member table kept, notices obeyed.
class ControlWorker {
 public:
  enum class Reply { Nothing, MemberList, Notice };

  // The service light shows how the relay answers.
  ControlWorker(const RelaySession& session, ChannelState& channel, LedCell& service_light, MemberTable& members,
                SupervisorNotices& notices)
      : session_(session), channel_(channel), service_light_(service_light), members_(members), notices_(notices) {}

  // 'L' turns ask for the current channel and one more in rotation; 'A'
  // turns tell the relay the client is alive. Turns alternate, 'L' first.
  void send_turn();
  // One datagram from the relay; says what it was.
  Reply handle_datagram(Bytes datagram);
  // A turn in which the relay said nothing.
  void handle_no_answer();

 private:
  void send_list_request(int voice_port);
  void store_member_list(const MemberList& list);

  const RelaySession& session_;
  ChannelState& channel_;
  LedCell& service_light_;
  MemberTable& members_;
  SupervisorNotices& notices_;
  Buffer buffer_{};
  int rotation_ = 0;
  bool list_turn_ = true;
};

// Runs the turns until stopped: send, wait 200 ms, wait at most 500 ms for the
// relay's answer, then 500 ms more (700 ms after a notice). Whatever arrives
// meanwhile is handled as it comes, every datagram of it.
void run_control_worker(std::stop_token stop, const RelaySession& session, ControlWorker& worker);

}  // namespace marvok::relay
