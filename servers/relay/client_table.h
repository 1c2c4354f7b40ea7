#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "client_version.h"
#include "endpoint_index.h"
#include "platform/udp_socket.h"
#include "presence_pace.h"
#include "relay/datagrams.h"

namespace marvok::relay_server {

using Clock = std::chrono::steady_clock;
using SlotId = std::uint16_t;

inline constexpr SlotId kNoSlot = EndpointIndex::kNone;
inline constexpr int kNoChannel = -1;

// One running client, known by the address of its voice socket.
struct Client {
  platform::Endpoint voice;
  std::optional<platform::Endpoint> control;
  std::uint16_t member = 0;
  // kNoChannel until admitted, which takes presence at a client's pace and
  // room at its address. Only members get speech, lists and notices.
  int channel = kNoChannel;
  PresencePace presence_pace;
  bool steady = false;  // its last presence came at a client's pace
  int heard_on = 0;     // the channel of its last presence
  // New to this event loop: how many other loops have yet to say whether
  // they hold its record, and until when they are waited for.
  int awaited_answers = 0;
  Clock::time_point answers_due{};
  // Its admission was asked of the event loop that keeps its address.
  bool admission_pending = false;
  bool refusal_logged = false;  // its address was full
  std::optional<ClientVersion> version;
  bool version_notice_sent = false;
  // A voice hello came and no control hello has been paired with it yet.
  bool awaits_control_hello = false;
  std::uint64_t hello_order = 0;  // larger is more recent
  // The sequence number of the next speech datagram this client receives.
  std::uint8_t next_sequence = 1;
  Clock::time_point last_presence{};
  Clock::time_point last_control{};  // when its control socket was last heard
  Clock::time_point last_speech{};

  bool is_member() const { return channel != kNoChannel; }
  std::uint8_t take_sequence() { return next_sequence++; }  // wraps from 255 to 0
};

// A fixed number of client slots, found by voice or control socket, and each
// channel's members in the order they joined it. Allocates only when built.
class ClientTable {
 public:
  // Slots are numbered below EndpointIndex::kNone, so the capacity is too.
  explicit ClientTable(std::size_t capacity);

  // Slots are numbered from 0 to capacity() - 1.
  std::size_t capacity() const { return clients_.size(); }
  SlotId find_by_voice(const platform::Endpoint& voice) const { return by_voice_.find(voice); }
  SlotId find_by_control(const platform::Endpoint& control) const { return by_control_.find(control); }
  Client& at(SlotId slot) { return clients_[slot]; }
  const Client& at(SlotId slot) const { return clients_[slot]; }
  bool in_use(SlotId slot) const { return in_use_[slot]; }

  // A fresh client for this voice socket; kNoSlot when every slot is taken.
  SlotId add(const platform::Endpoint& voice, Clock::time_point now);
  void remove(SlotId slot);
  // Puts the client last in the channel's member order, leaving its old channel.
  void move_to_channel(SlotId slot, int channel);
  // Ties a control socket to the client, untying it from any other client first.
  void set_control(SlotId slot, const platform::Endpoint& control, Clock::time_point now);
  // Marks the client as the most recent one to send a voice hello.
  void note_voice_hello(SlotId slot);

  std::span<const SlotId> members_of(int channel) const { return rosters_[static_cast<std::size_t>(channel)]; }
  std::size_t size() const { return capacity() - free_.size(); }
  std::size_t member_count() const;

 private:
  std::vector<Client> clients_;
  std::vector<bool> in_use_;
  std::vector<SlotId> free_;
  std::array<std::vector<SlotId>, relay::kChannelCount> rosters_;
  EndpointIndex by_voice_;
  EndpointIndex by_control_;
  std::uint64_t hello_count_ = 0;
};

}  // namespace marvok::relay_server
