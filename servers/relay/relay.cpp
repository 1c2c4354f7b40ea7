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
// How long a client new to a loop waits for the other loops to say whether
// one of them holds its record, should an answer be lost.
constexpr auto kClaimPatience = std::chrono::milliseconds(250);

int lowest_channel(const ChannelSet& channels) {
  int channel = 0;
  while (channel + 1 < relay::kChannelCount && !channels.test(static_cast<std::size_t>(channel))) ++channel;
  return channel;
}

const char* endpoint_text(const std::optional<Endpoint>& endpoint, std::string& storage) {
  storage = endpoint ? platform::format_endpoint(*endpoint) : "-";
  return storage.c_str();
}

}  // namespace

Relay::Relay(const RelayConfig& config, const RelayOutput& output, RelayLog& log, Clock::time_point now,
             ShardPlace place)
    : config_(config),
      place_(place),
      output_(output),
      log_(log),
      clients_(config.capacity),
      addresses_(config.capacity),
      reframers_(config.capacity),
      next_summary_(now + kSummaryInterval),
      remembered_(config.capacity),
      forget_remembered_at_(now + kRecallTime),
      lowest_channel_(lowest_channel(place.channels)) {
  held_leaves_.reserve(config.capacity);
  if (config_.pairing_file.empty()) return;
  // Every loop reads the file: a returning client's first presence may reach any of them.
  remembered_.load(config_.pairing_file);
  if (place_.index == 0) {
    log_.write("%zu control socket(s) remembered from %s", remembered_.remaining().size(),
               config_.pairing_file.c_str());
  }
}

// ---- datagrams in ------------------------------------------------------------

void Relay::on_voice_port(int channel, const Endpoint& from, relay::Bytes datagram, Clock::time_point now) {
  ++counters_.datagrams_in;
  switch (relay::classify_client_datagram(datagram)) {
    case relay::ClientDatagram::VoiceHello: on_voice_hello(from, now); return;
    case relay::ClientDatagram::ControlHello:
      if (const SlotId slot = pair_control_hello(clients_, sighting(from, now)); slot != kNoSlot) {
        on_control_known(slot);
      } else if (!pair_with_handed_away(from)) {
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
  // Its record from before may sit with the loop of the channel it was on.
  post_to_others(shard_message(ShardMessage::Kind::StartedAgain, from));
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
    // Or it moved here from a channel another loop serves, which holds its
    // record: it is admitted afresh only once every loop has answered.
    clients_.at(slot).awaited_answers = post_to_others(shard_message(ShardMessage::Kind::Claim, from));
    clients_.at(slot).answers_due = now + kClaimPatience;
  }
  Client& client = clients_.at(slot);
  client.last_presence = now;
  client.heard_on = channel;
  client.steady = client.presence_pace.note(now);
  if (client.is_member() && client.member != presence.member) {
    log_.write(LogEvent::MemberNumberChange, "member %u now reports itself as member %u", client.member,
               presence.member);
  }
  client.member = presence.member;
  if (presence.variant == relay::PresenceVariant::Version) client.version = presence.version;
  if (!client.is_member()) {
    try_admission(slot, now);
    return;
  }
  if (client.channel != channel) tie_to_channel(slot, channel);
  if (presence.variant == relay::PresenceVariant::Version) check_version(slot);
}

void Relay::set_members_elsewhere(const AddressTable& others) {
  AddressTable kept;
  for (const AddressMembers& entry : others)
    if (keeps(entry.address)) kept.push_back(entry);
  // Addresses no longer reported have no members elsewhere any more.
  auto now_at = kept.begin();
  for (const AddressMembers& before : elsewhere_) {
    while (now_at != kept.end() && now_at->address < before.address) ++now_at;
    if (now_at == kept.end() || now_at->address != before.address) addresses_.set_members_elsewhere(before.address, 0);
  }
  for (const AddressMembers& entry : kept) addresses_.set_members_elsewhere(entry.address, entry.members);
  elsewhere_ = std::move(kept);
}

void Relay::admitted_addresses(AddressTable& out) const {
  addresses_.for_each_with_clients([&out](std::uint32_t address, std::size_t clients) {
    out.push_back({address, static_cast<std::uint32_t>(clients)});
  });
}

void Relay::remember(std::span<const Pairing> pairings) {
  for (const Pairing& pairing : pairings) remembered_.add(pairing);
}

void Relay::try_admission(SlotId slot, Clock::time_point now) {
  Client& client = clients_.at(slot);
  if (!client.steady || (client.awaited_answers > 0 && now < client.answers_due) || !admit(slot)) return;
  on_admitted(slot);
  // Held requests are few, and a stream at a client's pace has paid for them.
  held_lists_.release(client.voice, client.control, now,
                      [this](const Endpoint& asker, int asked) { answer_list_request(asked, asker); });
}

bool Relay::admit(SlotId slot) {
  Client& client = clients_.at(slot);
  const std::uint32_t address = client.voice.address;
  if (!keeps(address)) {
    // The answer comes back as Admitted or Refused.
    if (client.admission_pending) return false;
    ShardMessage ask = shard_message(ShardMessage::Kind::AdmitAsk, client.voice);
    ask.control = client.control;
    client.admission_pending = try_post(place_.keeper_of(address), ask);
    if (!client.admission_pending) ++counters_.lost_handoffs;
    return false;
  }
  // Members other hosts admitted behind the address count against its cap too.
  const std::size_t admitted = addresses_.members_at(address);
  if (admitted < config_.max_clients_per_address) {
    addresses_.add_client(address);
    return true;
  }
  log_refusal(slot, admitted);
  return false;
}

void Relay::on_admitted(SlotId slot) {
  Client& client = clients_.at(slot);
  client.admission_pending = false;
  tie_to_channel(slot, client.heard_on);
  check_version(slot);
}

void Relay::log_refusal(SlotId slot, std::size_t admitted) {
  Client& client = clients_.at(slot);
  // Logged once per client; it stays waiting until a member of its address leaves or it falls silent.
  if (!client.refusal_logged) {
    client.refusal_logged = true;
    ++counters_.refused_clients;
    std::string voice;
    log_.write(LogEvent::NotAdmitted, "member %u not admitted (voice %s): its address has %zu clients already",
               client.member, endpoint_text(client.voice, voice), admitted);
  }
}

void Relay::release_address(std::uint32_t address) {
  if (keeps(address)) {
    addresses_.remove_client(address);
  } else if (!try_post(place_.keeper_of(address), shard_message(ShardMessage::Kind::Leave, {address, 0}))) {
    // A lost departure would keep the address full for good.
    held_leaves_.push_back(address);
  }
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
  // A loop of several, or a host of some channels, sees only its own
  // channels' clients, so it cannot tell that the address has no other
  // client lacking a control socket.
  if (!note_control_heard(from, now) && place_.sees_every_client()) {
    if (const SlotId slot = learn_control_from_list_request(clients_, channel, sighting(from, now)); slot != kNoSlot)
      on_control_known(slot);
  }
  if (keeps(from.address)) {
    judge_list_request(channel, from, now);
  } else {
    post(place_.keeper_of(from.address), shard_message(ShardMessage::Kind::ListAsk, from, channel));
  }
}

void Relay::judge_list_request(int channel, const Endpoint& from, Clock::time_point now) {
  // Only to an address with members, at their pace: a list is ten times the
  // size of the request, and a forged request would aim it at anyone. A host
  // of some channels counts only its own members, so a client whose channel
  // is another host's gets no lists from here.
  if (addresses_.members_at(from.address) == 0) {
    held_lists_.hold(from, channel, now);
  } else if (addresses_.answer_list_request(from.address, now)) {
    answer_list_request(channel, from);
  } else {
    ++counters_.unanswered_list_requests;
  }
}

void Relay::answer_list_request(int channel, const Endpoint& to) {
  const int loop = place_.loop_of_channel(channel);
  if (loop == place_.index) {
    send_member_list(channel, to);
  } else {
    post(loop, shard_message(ShardMessage::Kind::ListGo, to, channel));
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
  // A client not yet in a channel hears from a port this relay has.
  send(RelayPort::Control, client.is_member() ? client.channel : lowest_channel_, size, *client.control);
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
  return sent;
}

int Relay::close_all() {
  int sent = 0;
  for (std::size_t i = 0; i < clients_.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (clients_.in_use(slot) && send_notice(slot, relay::kNoticeSupervisorCloses)) ++sent;
  }
  return sent;
}

void Relay::describe_clients(std::string& out) const {
  std::string voice;
  std::string control;
  std::array<char, 160> line{};
  for (std::size_t i = 0; i < clients_.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (!clients_.in_use(slot)) continue;
    const Client& client = clients_.at(slot);
    const auto version = client.version ? format_client_version(*client.version) : std::array<char, 6>{'-'};
    if (client.is_member()) {
      std::snprintf(line.data(), line.size(), "member %u channel %d version %s voice %s control %s\n", client.member,
                    client.channel, version.data(), endpoint_text(client.voice, voice),
                    endpoint_text(client.control, control));
    } else {
      std::snprintf(line.data(), line.size(), "not admitted yet: voice %s control %s\n",
                    endpoint_text(client.voice, voice), endpoint_text(client.control, control));
    }
    out += line.data();
  }
}

void Relay::forget(SlotId slot, const char* reason) {
  const Client& client = clients_.at(slot);
  if (client.control) pairings_changed_ = true;
  if (client.is_member()) {
    release_address(client.voice.address);
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
  post_held_leaves();
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
  // With several event loops, or some channels only, each sums up its own channels.
  std::string whose;
  const bool some_channels = place_.count > 1 || !place_.channels.all();
  for (int channel = 0; some_channels && channel < relay::kChannelCount; ++channel) {
    if (!place_.channels.test(static_cast<std::size_t>(channel)) || place_.loop_of_channel(channel) != place_.index)
      continue;
    whose += (whose.empty() ? " of channels " : ", ") + std::to_string(channel);
  }
  log_.write(
      "summary%s: %zu clients (%zu in channels), last 10 s: %llu datagrams in, %llu out, %llu bad, %llu stray, "
      "%llu send failures, %llu clients refused, %llu list requests unanswered, %llu messages between loops lost",
      whose.c_str(), clients_.size(), clients_.member_count(),
      static_cast<unsigned long long>(now.datagrams_in - then.datagrams_in),
      static_cast<unsigned long long>(now.datagrams_out - then.datagrams_out),
      static_cast<unsigned long long>(now.bad_datagrams - then.bad_datagrams),
      static_cast<unsigned long long>(now.stray_datagrams - then.stray_datagrams),
      static_cast<unsigned long long>(now.send_failures - then.send_failures),
      static_cast<unsigned long long>(now.refused_clients - then.refused_clients),
      static_cast<unsigned long long>(now.unanswered_list_requests - then.unanswered_list_requests),
      static_cast<unsigned long long>(now.lost_handoffs - then.lost_handoffs));
  summarized_ = counters_;
}

void Relay::pairings(std::vector<Pairing>& of_clients, std::vector<Pairing>& unclaimed) {
  pairings_changed_ = false;
  for (std::size_t i = 0; i < clients_.capacity(); ++i) {
    const auto slot = static_cast<SlotId>(i);
    if (clients_.in_use(slot) && clients_.at(slot).control)
      of_clients.push_back({clients_.at(slot).voice, *clients_.at(slot).control});
  }
  const std::vector<Pairing> remaining = remembered_.remaining();
  unclaimed.insert(unclaimed.end(), remaining.begin(), remaining.end());
}

// ---- other event loops -------------------------------------------------------------

void Relay::on_message(const ShardMessage& message, Clock::time_point now) {
  using Kind = ShardMessage::Kind;
  const SlotId slot = clients_.find_by_voice(message.endpoint);
  switch (message.kind) {
    case Kind::Claim: on_claim(message); return;
    case Kind::NotHere:
      if (slot == kNoSlot || clients_.at(slot).awaited_answers == 0) return;
      if (--clients_.at(slot).awaited_answers == 0 && !clients_.at(slot).is_member()) try_admission(slot, now);
      return;
    case Kind::Handover: on_handover(message, now); return;
    case Kind::StartedAgain:
      // The client stays here, but its control socket is the one its new
      // hellos brought: asked for, it comes as a handover.
      if (slot != kNoSlot) post(message.from, shard_message(Kind::Claim, message.endpoint));
      return;
    case Kind::AdmitAsk:
      if (addresses_.members_at(message.endpoint.address) < config_.max_clients_per_address) {
        addresses_.add_client(message.endpoint.address);
        if (!try_post(message.from, shard_message(ShardMessage::Kind::Admitted, message.endpoint))) {
          // It asks again with its next presence.
          addresses_.remove_client(message.endpoint.address);
          ++counters_.lost_handoffs;
          return;
        }
        held_lists_.release(message.endpoint, message.control, now,
                            [this](const Endpoint& asker, int asked) { answer_list_request(asked, asker); });
      } else {
        ShardMessage refused = shard_message(Kind::Refused, message.endpoint);
        refused.count = addresses_.members_at(message.endpoint.address);
        post(message.from, refused);
      }
      return;
    case Kind::Admitted:
      if (slot == kNoSlot || clients_.at(slot).is_member()) {
        // Gone or moved on meanwhile: its place goes back.
        release_address(message.endpoint.address);
      } else {
        on_admitted(slot);
      }
      return;
    case Kind::Refused:
      if (slot == kNoSlot) return;
      clients_.at(slot).admission_pending = false;
      log_refusal(slot, message.count);
      return;
    case Kind::Leave: addresses_.remove_client(message.endpoint.address); return;
    case Kind::ListAsk: judge_list_request(message.channel, message.endpoint, now); return;
    case Kind::ListGo: send_member_list(message.channel, message.endpoint); return;
    case Kind::PairedControl:
      if (slot == kNoSlot || clients_.at(slot).control || !message.control) return;
      clients_.set_control(slot, *message.control, now);
      on_control_known(slot);
      return;
  }
}

void Relay::on_claim(const ShardMessage& claim) {
  const SlotId slot = clients_.find_by_voice(claim.endpoint);
  // A record that is itself waiting to hear where the client was is newer
  // than the claim, which was on its way as the client moved on.
  if (slot == kNoSlot || clients_.at(slot).awaited_answers > 0) {
    post(claim.from, shard_message(ShardMessage::Kind::NotHere, claim.endpoint));
    return;
  }
  const Client& client = clients_.at(slot);
  ShardMessage handover = shard_message(ShardMessage::Kind::Handover, client.voice);
  handover.client = {.control = client.control,
                     .version = client.version,
                     .last_control = client.last_control,
                     .hello_order = client.hello_order,
                     .channel = client.channel,
                     .next_sequence = client.next_sequence,
                     .version_notice_sent = client.version_notice_sent,
                     .refusal_logged = client.refusal_logged,
                     .awaits_control_hello = client.awaits_control_hello};
  // Kept when the message cannot go: the client is admitted afresh there, and
  // this record falls silent.
  if (!try_post(claim.from, handover)) {
    ++counters_.lost_handoffs;
    return;
  }
  // Its presence overtook its control hello, which is still on its way here.
  if (client.awaits_control_hello && !client.control) {
    handed_away_[next_handed_away_] = {client.voice, client.hello_order, claim.from};
    next_handed_away_ = (next_handed_away_ + 1) % handed_away_.size();
  }
  if (client.control) pairings_changed_ = true;
  reframers_[slot].reset();
  clients_.remove(slot);
}

bool Relay::pair_with_handed_away(const Endpoint& control) {
  HandedAway* newest = nullptr;
  for (HandedAway& handed : handed_away_) {
    if (handed.hello_order == 0 || handed.voice.address != control.address) continue;
    if (newest == nullptr || handed.hello_order > newest->hello_order) newest = &handed;
  }
  if (newest == nullptr) return false;
  ShardMessage paired = shard_message(ShardMessage::Kind::PairedControl, newest->voice);
  paired.control = control;
  post(newest->loop, paired);
  *newest = HandedAway{};
  return true;
}

void Relay::on_handover(const ShardMessage& handover, Clock::time_point now) {
  const HandedClient& handed = handover.client;
  const bool was_member = handed.channel != kNoChannel;
  const SlotId slot = clients_.find_by_voice(handover.endpoint);
  if (slot == kNoSlot) {
    if (was_member) release_address(handover.endpoint.address);
    return;
  }
  Client& client = clients_.at(slot);
  if (client.is_member()) {
    if (was_member) {
      // Admitted afresh here before its record came: one place at its
      // address is enough, and its numbering and notices go on.
      release_address(handover.endpoint.address);
      client.next_sequence = handed.next_sequence;
      client.version_notice_sent = client.version_notice_sent || handed.version_notice_sent;
      if (handed.control && !client.control) {
        clients_.set_control(slot, *handed.control, handed.last_control);
        pairings_changed_ = true;
      }
    } else if (handed.control) {
      // Restarted under the same port: the control socket of its new hellos.
      clients_.set_control(slot, *handed.control, handed.last_control);
      client.version_notice_sent = handed.version_notice_sent;
      pairings_changed_ = true;
    }
    check_version(slot);
    return;
  }
  if (!client.version) client.version = handed.version;
  client.version_notice_sent = handed.version_notice_sent;
  client.refusal_logged = handed.refusal_logged;
  client.next_sequence = handed.next_sequence;
  client.hello_order = handed.hello_order;
  if (handed.control && !client.control) {
    clients_.set_control(slot, *handed.control, handed.last_control);
    pairings_changed_ = true;
  }
  client.awaits_control_hello = handed.awaits_control_hello && !client.control;
  client.awaited_answers = 0;
  if (!was_member) {
    try_admission(slot, now);
    return;
  }
  client.admission_pending = false;
  clients_.move_to_channel(slot, client.heard_on);
  log_.write(LogEvent::ChannelMove, "member %u moved from channel %d to channel %d", client.member, handed.channel,
             client.heard_on);
  check_version(slot);
}

bool Relay::try_post(int shard, ShardMessage message) {
  message.from = place_.index;
  return place_.post->post(shard, message);
}

void Relay::post(int shard, const ShardMessage& message) {
  if (!try_post(shard, message)) ++counters_.lost_handoffs;
}

int Relay::post_to_others(const ShardMessage& message) {
  int posted = 0;
  for (int shard = 0; shard < place_.count; ++shard) {
    if (shard == place_.index) continue;
    if (try_post(shard, message)) {
      ++posted;
    } else {
      ++counters_.lost_handoffs;
    }
  }
  return posted;
}

void Relay::post_held_leaves() {
  while (!held_leaves_.empty()) {
    const std::uint32_t address = held_leaves_.back();
    if (!try_post(place_.keeper_of(address), shard_message(ShardMessage::Kind::Leave, {address, 0}))) return;
    held_leaves_.pop_back();
  }
}

}  // namespace marvok::relay_server
