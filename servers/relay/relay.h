#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "address_book.h"
#include "client_table.h"
#include "control_pairing.h"
#include "forward_batch.h"
#include "held_list_requests.h"
#include "opus_reframer.h"
#include "pairing_memory.h"
#include "relay/datagrams.h"
#include "relay_config.h"
#include "relay_counters.h"
#include "relay_log.h"
#include "relay_output.h"
#include "shard_message.h"
#include "shared_state.h"

namespace marvok::relay_server {

// What the relay does with each datagram, with the clock passed in. Sockets
// and waiting belong to the event loop; this class only reacts, and sends
// through the output it is given. With several event loops, each has one
// Relay for its channels, and `place` says how to reach the others.
class Relay {
 public:
  Relay(const RelayConfig& config, const RelayOutput& output, RelayLog& log, Clock::time_point now,
        ShardPlace place = {});

  void on_voice_port(int channel, const platform::Endpoint& from, relay::Bytes datagram, Clock::time_point now);
  void on_control_port(int channel, const platform::Endpoint& from, relay::Bytes datagram, Clock::time_point now);
  void on_message(const ShardMessage& message, Clock::time_point now);
  // Forgets silent clients, frees the encoders of quiet speakers and writes
  // the periodic summary. Call it a few times a second.
  void on_tick(Clock::time_point now);

  // Notice 240 to every client of the member; returns how many got it.
  int close_member(std::uint16_t member);
  int close_all();
  std::size_t client_count() const { return clients_.size(); }
  // Adds one line per client.
  void describe_clients(std::string& out) const;

  // The members other relay hosts admitted behind each address, as they now
  // stand (sorted by address); this loop keeps those of its own addresses.
  void set_members_elsewhere(const AddressTable& others);
  // Adds this loop's admitted clients behind the addresses it keeps.
  void admitted_addresses(AddressTable& out) const;
  // Pairings learned before this run or by another host, for a returning
  // client's first presence.
  void remember(std::span<const Pairing> pairings);

  // True once the control sockets changed since the last call of pairings().
  bool pairings_changed() const { return pairings_changed_; }
  // The control socket of each client, then the remembered ones not claimed yet.
  void pairings(std::vector<Pairing>& of_clients, std::vector<Pairing>& unclaimed);

  const RelayCounters& counters() const { return counters_; }

 private:
  void on_voice_hello(const platform::Endpoint& from, Clock::time_point now);
  void on_presence(int channel, const platform::Endpoint& from, const relay::Presence& presence, Clock::time_point now);
  void on_speech(int channel, const platform::Endpoint& from, const relay::OutgoingVoice& voice, Clock::time_point now);
  void on_list_request(int channel, const platform::Endpoint& from, Clock::time_point now);
  void send_member_list(int channel, const platform::Endpoint& to);
  void on_alive(int channel, const platform::Endpoint& from, Clock::time_point now);
  // The channel's members in join order, each once; returns how many.
  std::size_t listed_members(int channel, std::array<std::uint16_t, relay::kMaxListedMembers>& members) const;
  // True when the control socket belongs to a known client.
  bool note_control_heard(const platform::Endpoint& from, Clock::time_point now);
  ControlSighting sighting(const platform::Endpoint& control, Clock::time_point now) const;

  // Admits a client that sends presence at a client's pace, once no other
  // loop may hold its record.
  void try_admission(SlotId slot, Clock::time_point now);
  // Makes a client a member, when its address has room for one more.
  bool admit(SlotId slot);
  void on_admitted(SlotId slot);
  void log_refusal(SlotId slot, std::size_t admitted);
  // One member fewer behind the address, told to its keeper.
  void release_address(std::uint32_t address);
  // A list request judged by the keeper of its address.
  void judge_list_request(int channel, const platform::Endpoint& from, Clock::time_point now);
  void answer_list_request(int channel, const platform::Endpoint& to);
  void on_claim(const ShardMessage& claim);
  void on_handover(const ShardMessage& handover, Clock::time_point now);
  // A control hello for a client handed to another loop before it came; true
  // when there was one to pair it with.
  bool pair_with_handed_away(const platform::Endpoint& control);
  bool keeps(std::uint32_t address) const { return place_.keeper_of(address) == place_.index; }
  // False when that loop's queue is full.
  bool try_post(int shard, ShardMessage message);
  // Counts the message lost when the queue is full.
  void post(int shard, const ShardMessage& message);
  // Returns to how many it went.
  int post_to_others(const ShardMessage& message);
  // Sends the departures that found the keeper's queue full.
  void post_held_leaves();
  void tie_to_channel(SlotId slot, int channel);
  void on_control_known(SlotId slot);
  void check_version(SlotId slot);
  void forward_pcm(SlotId speaker, std::span<const std::uint8_t, relay::kVoiceBlockSize> block);
  void forward_opus(SlotId speaker, std::span<const std::uint8_t, relay::kVoiceBlockSize> block, Clock::time_point now);
  bool send_notice(SlotId slot, std::uint8_t code);
  void send(RelayPort port, int channel, std::size_t size, const platform::Endpoint& to);
  void forget(SlotId slot, const char* reason);
  void forget_silent_clients(Clock::time_point now);
  void release_quiet_encoders(Clock::time_point now);
  void write_summary();

  const RelayConfig& config_;
  ShardPlace place_;
  const RelayOutput& output_;
  RelayLog& log_;
  ClientTable clients_;
  AddressBook addresses_;
  HeldListRequests held_lists_;
  // One per client slot; holds an encoder only while its client speaks on an Opus channel.
  std::vector<std::unique_ptr<OpusReframer>> reframers_;
  relay::Buffer out_{};
  ForwardBatch batch_;
  RelayCounters counters_;
  RelayCounters summarized_;
  Clock::time_point next_summary_;
  PairingMemory remembered_;
  Clock::time_point forget_remembered_at_;
  bool pairings_changed_ = false;
  // What set_members_elsewhere() last gave for the addresses this loop keeps.
  AddressTable elsewhere_;
  // Departures for other keepers that found the queue full, sent again each tick.
  std::vector<std::uint32_t> held_leaves_;
  // Clients handed to another loop while awaiting their control hello; the
  // oldest make way when it is full.
  struct HandedAway {
    platform::Endpoint voice;
    std::uint64_t hello_order = 0;  // 0 for an empty entry
    int loop = 0;
  };
  std::array<HandedAway, 64> handed_away_{};
  std::size_t next_handed_away_ = 0;
  // Where notices to clients not yet in a channel leave from.
  int lowest_channel_ = 0;
};

}  // namespace marvok::relay_server
