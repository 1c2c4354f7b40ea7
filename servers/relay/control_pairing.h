#pragma once

#include "client_table.h"

namespace marvok::relay_server {

// How a control socket is tied to its client. The control hello carries no
// member number, so the relay goes by where datagrams come from:
//  1. A control hello pairs with the most recent voice hello from the same IP
//     address that has no control socket yet, since a client sends the two
//     back to back.
//  2. A client sends its alive to the control port of its own channel, so an
//     unknown control socket sending an alive to channel n is tied to the
//     client of that IP address in channel n that lacks a control socket,
//     when there is exactly one.
//  3. List requests also go to other channels, so one ties an unknown control
//     socket only when its IP address has exactly one client lacking a
//     control socket and that client is in the asked channel. Only a relay
//     of one event loop serving every channel sees every client; elsewhere
//     rule 2 ties it at the client's next alive, less than a control turn
//     later.
// A client whose control socket has been silent since `stale_before` counts
// as lacking one, so a client whose control port changed (a restarted
// socket, a router's new mapping) is found again. A known control socket
// stays with its client. A client tied only by its voice socket still gets
// speech and lists, but no notices.
// After a restart clients send no hellos; the relay's pairing file, read by
// Relay, ties a returning client's control socket at its first presence, which
// these rules cannot do for two clients of one address in one channel.
// Each function returns the client the control socket was tied to, or kNoSlot.
struct ControlSighting {
  platform::Endpoint control;
  Clock::time_point now;
  Clock::time_point stale_before;
};

SlotId pair_control_hello(ClientTable& clients, const ControlSighting& sighting);
SlotId learn_control_from_alive(ClientTable& clients, int channel, const ControlSighting& sighting);
SlotId learn_control_from_list_request(ClientTable& clients, int channel, const ControlSighting& sighting);

}  // namespace marvok::relay_server
