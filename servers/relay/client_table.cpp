#include "client_table.h"

#include <algorithm>

namespace marvok::relay_server {

ClientTable::ClientTable(std::size_t capacity)
    : clients_(capacity), in_use_(capacity, false), by_voice_(capacity), by_control_(capacity) {
  free_.reserve(capacity);
  // Lowest slots first, so a small relay keeps its clients close together.
  for (std::size_t slot = capacity; slot > 0; --slot) free_.push_back(static_cast<SlotId>(slot - 1));
  for (auto& roster : rosters_) roster.reserve(capacity);
}

SlotId ClientTable::add(const platform::Endpoint& voice, Clock::time_point now) {
  if (free_.empty()) return kNoSlot;
  const SlotId slot = free_.back();
  free_.pop_back();
  clients_[slot] = Client{};
  clients_[slot].voice = voice;
  clients_[slot].last_presence = now;
  in_use_[slot] = true;
  by_voice_.insert(voice, slot);
  return slot;
}

void ClientTable::remove(SlotId slot) {
  if (!in_use_[slot]) return;
  Client& client = clients_[slot];
  if (client.is_member()) {
    auto& roster = rosters_[static_cast<std::size_t>(client.channel)];
    roster.erase(std::find(roster.begin(), roster.end(), slot));
  }
  by_voice_.erase(client.voice);
  if (client.control) by_control_.erase(*client.control);
  client = Client{};
  in_use_[slot] = false;
  free_.push_back(slot);
}

void ClientTable::move_to_channel(SlotId slot, int channel) {
  Client& client = clients_[slot];
  if (client.channel == channel) return;
  if (client.is_member()) {
    auto& old_roster = rosters_[static_cast<std::size_t>(client.channel)];
    old_roster.erase(std::find(old_roster.begin(), old_roster.end(), slot));
  }
  rosters_[static_cast<std::size_t>(channel)].push_back(slot);
  client.channel = channel;
}

void ClientTable::set_control(SlotId slot, const platform::Endpoint& control, Clock::time_point now) {
  clients_[slot].last_control = now;
  const SlotId previous_owner = by_control_.find(control);
  if (previous_owner == slot) return;
  if (previous_owner != kNoSlot) clients_[previous_owner].control.reset();
  Client& client = clients_[slot];
  if (client.control) by_control_.erase(*client.control);
  client.control = control;
  client.awaits_control_hello = false;
  by_control_.insert(control, slot);
}

void ClientTable::note_voice_hello(SlotId slot) {
  clients_[slot].awaits_control_hello = true;
  clients_[slot].hello_order = ++hello_count_;
}

std::size_t ClientTable::member_count() const {
  std::size_t count = 0;
  for (const auto& roster : rosters_) count += roster.size();
  return count;
}

}  // namespace marvok::relay_server
