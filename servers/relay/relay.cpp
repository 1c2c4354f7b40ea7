#include "relay.h"

#include <algorithm>
#include <string>

#include "control_pairing.h"

namespace marvok::relay_server {

namespace {

using platform::Endpoint;

constexpr auto kSummaryInterval = std::chrono::seconds(10);
// Speech resumed after this long starts afresh instead of joining carried frames.
constexpr auto kSpeechGap = std::chrono::milliseconds(100);
// A speaker quiet this long gives back its Opus encoder.
constexpr auto kEncoderIdleTime = std::chrono::seconds(5);
// Where the head of forwarded speech carries the receiver's sequence number.
constexpr std::size_t kSequenceOffset = 1;
// Clients come back within a presence period of a restart; a pairing not
// claimed by then belongs to a client that is gone.
constexpr auto kRecallTime = std::chrono::seconds(30);
// Pairings change with joins; writing them at most this often keeps a
// flood of hellos from turning into a flood of file writes.
constexpr auto kPairingSaveInterval = std::chrono::seconds(1);

const char* endpoint_text(const std::optional<Endpoint>& endpoint, std::string& storage) {
  storage = endpoint ? platform::format_endpoint(*endpoint) : "-";
  return storage.c_str();
}

}  // namespace

Relay::Relay(const RelayConfig& config, const RelayOutput& output, RelayLog& log, Clock::time_point now)
    : config_(config),
      output_(output),
      log_(log),
      clients_(config.capacity),
      addresses_(config.capacity),
      reframers_(config.capacity),
      next_summary_(now + kSummaryInterval),
      remembered_(config.capacity),
      forget_remembered_at_(now + kRecallTime) {
  if (config_.pairing_file.empty()) return;
  remembered_.load(config_.pairing_file);
  log_.write("%zu control socket(s) remembered from %s", remembered_.remaining().size(), config_.pairing_file.c_str());
}

// ---- datagrams in ------------------------------------------------------------

void Relay::on_voice_port(int channel, const Endpoint& from, relay::Bytes datagram, Clock::time_point now) {
  ++counters_.datagrams_in;
  switch (relay::classify_client_datagram(datagram)) {
    case relay::ClientDatagram::VoiceHello: on_voice_hello(from, now); return;
    case relay::ClientDatagram::ControlHello:
      if (const SlotId slot = pair_control_hello(clients_, sighting(from, now)); slot != kNoSlot) {
        on_control_known(slot);
      } else {
        ++counters_.stray_datagrams;
      }
      return;
    case relay::ClientDatagram::Presence:
      if (const auto presence = relay::read_presence(datagram)) {
        on_presence(channel, from, *presence, now);
      } else {
        ++counters_.bad_datagrams;
      }
      return;
    case relay::ClientDatagram::Voice:
      if (const auto voice = relay::read_outgoing_voice(datagram)) on_speech(channel, from, *voice, now);
      return;
    default: ++counters_.bad_datagrams; return;
  }
}

void Relay::on_control_port(int channel, const Endpoint& from, relay::Bytes datagram, Clock::time_point now) {
  ++counters_.datagrams_in;
  switch (relay::classify_client_datagram(datagram)) {
    case relay::ClientDatagram::ListRequest: on_list_request(channel, from, now); return;
    case relay::ClientDatagram::Alive: on_alive(channel, from, now); return;
    default: ++counters_.bad_datagrams; return;
  }
}

void Relay::on_voice_hello(const Endpoint& from, Clock::time_point now) {
  // A client says hello only when it starts, so a known voice socket means
  // the client started again on the same port.
  if (const SlotId old = clients_.find_by_voice(from); old != kNoSlot) forget(old, "started again");
  // A new client on an old port: its control socket is new too.
  remembered_.take(from);
  const SlotId slot = clients_.add(from, now);
  if (slot == kNoSlot) {
    ++counters_.refused_clients;
    return;
  }
  clients_.note_voice_hello(slot);
}

void Relay::on_presence(int channel, const Endpoint& from, const relay::Presence& presence, Clock::time_point now) {
  SlotId slot = clients_.find_by_voice(from);
  if (slot == kNoSlot) {
    // The relay may have restarted under a running client, which sends no new hello.
    slot = clients_.add(from, now);
    if (slot == kNoSlot) {
      ++counters_.refused_clients;
      return;
    }
    if (const auto control = remembered_.take(from)) {
      clients_.set_control(slot, *control, now);
      pairings_changed_ = true;
    }
  }
  Client& client = clients_.at(slot);
  client.last_presence = now;
  const bool steady = client.presence_pace.note(now);
  if (client.is_member() && client.member != presence.member) {
    log_.write(LogEvent::MemberNumberChange, "member %u now reports itself as member %u", client.member,
               presence.member);
  }
  client.member = presence.member;
  if (presence.variant == relay::PresenceVariant::Version) client.version = presence.version;
  if (!client.is_member()) {
    if (!steady || !admit(slot)) return;
    tie_to_channel(slot, channel);
    check_version(slot);
    // Held requests are few, and a stream at a client's pace has paid for them.
    held_lists_.release(client.voice, client.control, now,
                        [this](const Endpoint& asker, int asked) { send_member_list(asked, asker); });
    return;
  }
  if (client.channel != channel) tie_to_channel(slot, channel);
  if (presence.variant == relay::PresenceVariant::Version) check_version(slot);
}

bool Relay::admit(SlotId slot) {
  Client& client = clients_.at(slot);
  const std::uint32_t address = client.voice.address;
  const std::size_t admitted = addresses_.clients_at(address);
  if (admitted < config_.max_clients_per_address) {
    addresses_.add_client(address);
    return true;
  }
  // Logged once per client; it stays waiting until a member of its address leaves or it falls silent.
  if (!client.refusal_logged) {
    client.refusal_logged = true;
    ++counters_.refused_clients;
    std::string voice;
    log_.write(LogEvent::NotAdmitted, "member %u not admitted (voice %s): its address has %zu clients already",
               client.member, endpoint_text(client.voice, voice), admitted);
  }
  return false;
}

void Relay::on_speech(int channel, const Endpoint& from, const relay::OutgoingVoice& voice, Clock::time_point now) {
  const SlotId slot = clients_.find_by_voice(from);
  if (slot == kNoSlot || !clients_.at(slot).is_member()) {
    ++counters_.stray_datagrams;
    return;
  }
  // Speech goes to the voice port of the speaker's channel, just like presence.
  if (clients_.at(slot).channel != channel) tie_to_channel(slot, channel);
  const auto block = voice.block.first<relay::kVoiceBlockSize>();
  if (config_.opus_channels.test(static_cast<std::size_t>(channel))) {
    forward_opus(slot, block, now);
  } else {
    forward_pcm(slot, block);
  }
}

void Relay::on_list_request(int channel, const Endpoint& from, Clock::time_point now) {
  if (!note_control_heard(from, now)) {
    if (const SlotId slot = learn_control_from_list_request(clients_, channel, sighting(from, now)); slot != kNoSlot)
      on_control_known(slot);
  }
  // Only to an address with members, at their pace: a list is ten times the
  // size of the request, and a forged request would aim it at anyone.
  if (addresses_.clients_at(from.address) == 0) {
    held_lists_.hold(from, channel, now);
  } else if (addresses_.answer_list_request(from.address, now)) {
    send_member_list(channel, from);
  } else {
    ++counters_.unanswered_list_requests;
  }
}

void Relay::send_member_list(int channel, const Endpoint& to) {
  std::array<std::uint16_t, relay::kMaxListedMembers> members{};
  const std::size_t count = listed_members(channel, members);
  const std::size_t size = relay::write_member_list(out_, channel, std::span(members.data(), count));
  send(RelayPort::Control, channel, size, to);
}

std::size_t Relay::listed_members(int channel, std::array<std::uint16_t, relay::kMaxListedMembers>& members) const {
  // One entry per member, even when a member runs several clients.
  std::size_t count = 0;
  for (const SlotId slot : clients_.members_of(channel)) {
    if (count == members.size()) break;
    const auto listed = std::span(members.data(), count);
    const std::uint16_t member = clients_.at(slot).member;
    if (std::find(listed.begin(), listed.end(), member) == listed.end()) members[count++] = member;
  }
  return count;
}

void Relay::on_alive(int channel, const Endpoint& from, Clock::time_point now) {
  if (note_control_heard(from, now)) return;
  if (const SlotId slot = learn_control_from_alive(clients_, channel, sighting(from, now)); slot != kNoSlot)
    on_control_known(slot);
}

bool Relay::note_control_heard(const Endpoint& from, Clock::time_point now) {
  const SlotId slot = clients_.find_by_control(from);
  if (slot == kNoSlot) return false;
  clients_.at(slot).last_control = now;
  return true;
}

ControlSighting Relay::sighting(const Endpoint& control, Clock::time_point now) const {
  // A control socket silent as long as it takes to forget a client is taken for gone.
  return {control, now, now - config_.client_timeout};
}

// ---- membership and notices ----------------------------------------------------

void Relay::tie_to_channel(SlotId slot, int channel) {
  const Client& client = clients_.at(slot);
  const int previous = client.channel;
  clients_.move_to_channel(slot, channel);
  std::string voice;
  std::string control;
  if (previous == kNoChannel) {
    log_.write(LogEvent::Join, "member %u joined channel %d (voice %s, control %s)", client.member, channel,
               endpoint_text(client.voice, voice), endpoint_text(client.control, control));
  } else {
    log_.write(LogEvent::ChannelMove, "member %u moved from channel %d to channel %d", client.member, previous,
               channel);
  }
}

void Relay::on_control_known(SlotId slot) {
  pairings_changed_ = true;
  // A version notice held back for want of a control socket can go now.
  check_version(slot);
}

void Relay::check_version(SlotId slot) {
  Client& client = clients_.at(slot);
  if (!client.is_member() || !config_.min_version || !client.version || client.version_notice_sent) return;
  if (!(*client.version < *config_.min_version) || !client.control) return;
  if (!send_notice(slot, relay::kNoticeVersionTooOld)) return;
  client.version_notice_sent = true;
  log_.write(LogEvent::Notice, "notice %u to member %u: version %s is older than %s", relay::kNoticeVersionTooOld,
             client.member, format_client_version(*client.version).data(),
             format_client_version(*config_.min_version).data());
}

bool Relay::send_notice(SlotId slot, std::uint8_t code) {
  const Client& client = clients_.at(slot);
  if (!client.control) return false;
  const std::size_t size = relay::write_notice(out_, code);
  send(RelayPort::Control, client.is_member() ? client.channel : 0, size, *client.control);
  return true;
}

int Relay::close_member(std::uint16_t member) {
  int sent = 0;
  for (std::size_t i = 0; i < clients_.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (!clients_.in_use(slot) || !clients_.at(slot).is_member() || clients_.at(slot).member != member) continue;
    if (send_notice(slot, relay::kNoticeSupervisorCloses)) {
      ++sent;
    } else {
      log_.write(LogEvent::UnsentNotice, "member %u has no known control socket; notice %u not sent", member,
                 relay::kNoticeSupervisorCloses);
    }
  }
  log_.write("notice %u to member %u: sent to %d client(s)", relay::kNoticeSupervisorCloses, member, sent);
  return sent;
}

int Relay::close_all() {
  int sent = 0;
  for (std::size_t i = 0; i < clients_.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (clients_.in_use(slot) && send_notice(slot, relay::kNoticeSupervisorCloses)) ++sent;
  }
  log_.write("notice %u to every client: sent to %d client(s)", relay::kNoticeSupervisorCloses, sent);
  return sent;
}

void Relay::print_clients(std::FILE* out) const {
  std::fprintf(out, "%zu client(s)\n", clients_.size());
  std::string voice;
  std::string control;
  for (std::size_t i = 0; i < clients_.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (!clients_.in_use(slot)) continue;
    const Client& client = clients_.at(slot);
    const auto version = client.version ? format_client_version(*client.version) : std::array<char, 6>{'-'};
    if (client.is_member()) {
      std::fprintf(out, "member %u channel %d version %s voice %s control %s\n", client.member, client.channel,
                   version.data(), endpoint_text(client.voice, voice), endpoint_text(client.control, control));
    } else {
      std::fprintf(out, "not admitted yet: voice %s control %s\n", endpoint_text(client.voice, voice),
                   endpoint_text(client.control, control));
    }
  }
  std::fflush(out);
}

void Relay::forget(SlotId slot, const char* reason) {
  const Client& client = clients_.at(slot);
  if (client.control) pairings_changed_ = true;
  if (client.is_member()) {
    addresses_.remove_client(client.voice.address);
    log_.write(LogEvent::Departure, "member %u left channel %d (%s)", client.member, client.channel, reason);
  }
  reframers_[slot].reset();
  clients_.remove(slot);
}

// ---- speech ----------------------------------------------------------------------

void Relay::forward_pcm(SlotId speaker, std::span<const std::uint8_t, relay::kVoiceBlockSize> block) {
  const Client& from = clients_.at(speaker);
  // Receivers differ only in the sequence number of the head.
  const std::size_t size = relay::write_forwarded_pcm(out_, relay::VoiceKind::PcmA, 0, from.member, block);
  const auto head = std::span(out_).first<relay::kVoiceHeaderSize>();
  const auto body = std::span(out_.data() + relay::kVoiceHeaderSize, size - relay::kVoiceHeaderSize);
  const auto send_batch = [this, &from, body] {
    const ForwardBatch::Result result = output_.send_voice_batch(from.channel, batch_, body);
    counters_.datagrams_out += result.sent;
    counters_.send_failures += result.failed;
  };
  for (const SlotId slot : clients_.members_of(from.channel)) {
    if (slot == speaker) continue;
    Client& to = clients_.at(slot);
    head[kSequenceOffset] = to.take_sequence();
    batch_.add(head, to.voice);
    if (batch_.full()) send_batch();
  }
  send_batch();
}

void Relay::forward_opus(SlotId speaker, std::span<const std::uint8_t, relay::kVoiceBlockSize> block,
                         Clock::time_point now) {
  Client& from = clients_.at(speaker);
  // Made for a member's first speech on an Opus channel, so idle slots cost nothing.
  auto& owned = reframers_[speaker];
  if (!owned) owned = std::make_unique<OpusReframer>();
  OpusReframer& reframer = *owned;
  if (now - from.last_speech > kSpeechGap) reframer.discard_pending();
  from.last_speech = now;
  OpusReframer::Packets packets;
  const std::size_t count = reframer.push(block, packets);
  for (std::size_t i = 0; i < count; ++i) {
    for (const SlotId slot : clients_.members_of(from.channel)) {
      if (slot == speaker) continue;
      Client& to = clients_.at(slot);
      const std::size_t size = relay::write_forwarded_opus(out_, to.take_sequence(), from.member, packets[i].view());
      send(RelayPort::Voice, from.channel, size, to.voice);
    }
  }
}

void Relay::send(RelayPort port, int channel, std::size_t size, const Endpoint& to) {
  if (output_.send_from(port, channel, std::span(out_.data(), size), to)) {
    ++counters_.datagrams_out;
  } else {
    ++counters_.send_failures;
  }
}

// ---- housekeeping ------------------------------------------------------------------

void Relay::on_tick(Clock::time_point now) {
  forget_silent_clients(now);
  release_quiet_encoders(now);
  log_.flush_left_out();
  if (now >= forget_remembered_at_ && remembered_.has_unclaimed()) {
    remembered_.clear();
    pairings_changed_ = true;
  }
  if (pairings_changed_ && now >= next_pairing_save_) {
    save_pairings();
    next_pairing_save_ = now + kPairingSaveInterval;
  }
  if (now >= next_summary_) {
    write_summary();
    next_summary_ = now + kSummaryInterval;
  }
}

void Relay::forget_silent_clients(Clock::time_point now) {
  for (std::size_t i = 0; i < clients_.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (clients_.in_use(slot) && now - clients_.at(slot).last_presence > config_.client_timeout)
      forget(slot, "no presence");
  }
}

void Relay::release_quiet_encoders(Clock::time_point now) {
  for (std::size_t i = 0; i < clients_.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (reframers_[slot] && now - clients_.at(slot).last_speech > kEncoderIdleTime) reframers_[slot].reset();
  }
}

void Relay::write_summary() {
  const RelayCounters& now = counters_;
  const RelayCounters& then = summarized_;
  log_.write(
      "summary: %zu clients (%zu in channels), last 10 s: %llu datagrams in, %llu out, %llu bad, %llu stray, "
      "%llu send failures, %llu clients refused, %llu list requests unanswered",
      clients_.size(), clients_.member_count(), static_cast<unsigned long long>(now.datagrams_in - then.datagrams_in),
      static_cast<unsigned long long>(now.datagrams_out - then.datagrams_out),
      static_cast<unsigned long long>(now.bad_datagrams - then.bad_datagrams),
      static_cast<unsigned long long>(now.stray_datagrams - then.stray_datagrams),
      static_cast<unsigned long long>(now.send_failures - then.send_failures),
      static_cast<unsigned long long>(now.refused_clients - then.refused_clients),
      static_cast<unsigned long long>(now.unanswered_list_requests - then.unanswered_list_requests));
  summarized_ = counters_;
}

void Relay::on_stop() { save_pairings(); }

void Relay::save_pairings() {
  pairings_changed_ = false;
  if (config_.pairing_file.empty()) return;
  // Unclaimed pairings stay, so a second restart soon after the first loses nothing.
  std::vector<Pairing> pairings = remembered_.remaining();
  for (std::size_t i = 0; i < clients_.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (clients_.in_use(slot) && clients_.at(slot).control)
      pairings.push_back({clients_.at(slot).voice, *clients_.at(slot).control});
  }
  const bool saved = PairingMemory::save(config_.pairing_file, pairings);
  if (!saved && !pairing_save_failed_) {
    log_.write("cannot write the pairing file %s; a restart will not know the control sockets",
               config_.pairing_file.c_str());
  }
  pairing_save_failed_ = !saved;
}

}  // namespace marvok::relay_server
