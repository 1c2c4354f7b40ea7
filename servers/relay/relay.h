#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
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

namespace marvok::relay_server {

// What the relay does with each datagram, with the clock passed in. Sockets
// and waiting belong to RelayServer; this class only reacts, and sends through
// the output it is given.
class Relay {
 public:
  Relay(const RelayConfig& config, const RelayOutput& output, RelayLog& log, Clock::time_point now);

  void on_voice_port(int channel, const platform::Endpoint& from, relay::Bytes datagram, Clock::time_point now);
  void on_control_port(int channel, const platform::Endpoint& from, relay::Bytes datagram, Clock::time_point now);
  // Forgets silent clients, frees the encoders of quiet speakers and writes
  // the periodic summary. Call it a few times a second.
  void on_tick(Clock::time_point now);
  // Keeps the pairings for the next run.
  void on_stop();

  // Notice 240 to every client of the member; returns how many got it.
  int close_member(std::uint16_t member);
  int close_all();
  void print_clients(std::FILE* out) const;

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

  // Makes a client a member, when its address has room for one more.
  bool admit(SlotId slot);
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
  void save_pairings();

  const RelayConfig& config_;
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
  bool pairing_save_failed_ = false;
  Clock::time_point next_pairing_save_;
};

}  // namespace marvok::relay_server
