#include "control_pairing.h"

namespace marvok::relay_server {

namespace {

bool lacks_control_on(const Client& client, const ControlSighting& sighting) {
  if (client.voice.address != sighting.control.address) return false;
  return !client.control || client.last_control < sighting.stale_before;
}

SlotId tie(ClientTable& clients, SlotId slot, const ControlSighting& sighting) {
  if (slot != kNoSlot) clients.set_control(slot, sighting.control, sighting.now);
  return slot;
}

}  // namespace

SlotId pair_control_hello(ClientTable& clients, const ControlSighting& sighting) {
  SlotId newest = kNoSlot;
  for (std::size_t i = 0; i < clients.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (!clients.in_use(slot)) continue;
    const Client& client = clients.at(slot);
    if (!client.awaits_control_hello || client.control || client.voice.address != sighting.control.address) continue;
    if (newest == kNoSlot || client.hello_order > clients.at(newest).hello_order) newest = slot;
  }
  return tie(clients, newest, sighting);
}

SlotId learn_control_from_alive(ClientTable& clients, int channel, const ControlSighting& sighting) {
  SlotId found = kNoSlot;
  for (const SlotId slot : clients.members_of(channel)) {
    if (!lacks_control_on(clients.at(slot), sighting)) continue;
    if (found != kNoSlot) return kNoSlot;
    found = slot;
  }
  return tie(clients, found, sighting);
}

SlotId learn_control_from_list_request(ClientTable& clients, int channel, const ControlSighting& sighting) {
  SlotId found = kNoSlot;
  for (std::size_t i = 0; i < clients.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (!clients.in_use(slot) || !clients.at(slot).is_member()) continue;
    if (!lacks_control_on(clients.at(slot), sighting)) continue;
    if (found != kNoSlot) return kNoSlot;
    found = slot;
  }
  if (found == kNoSlot || clients.at(found).channel != channel) return kNoSlot;
  return tie(clients, found, sighting);
}

}  // namespace marvok::relay_server
