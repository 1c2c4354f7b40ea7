#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "channel_list.h"
#include "client_table.h"
#include "client_version.h"
#include "platform/udp_socket.h"

namespace marvok::relay_server {

// What a client's record carries when it moves to the event loop of another
// channel. Admission travels with it: a member stays a member.
struct HandedClient {
  std::optional<platform::Endpoint> control;
  std::optional<ClientVersion> version;
  Clock::time_point last_control{};
  std::uint64_t hello_order = 0;
  int channel = kNoChannel;  // the channel it was a member of, if any
  std::uint8_t next_sequence = 1;
  bool version_notice_sent = false;
  bool refusal_logged = false;
  bool awaits_control_hello = false;
};

// What one event loop tells another. Every loop serves its own channels; what
// crosses channels goes through these, never through shared state.
//  - Claim: `endpoint` sent presence here and is unknown here; the loop that
//    holds its record answers with a Handover and forgets it, the others
//    with NotHere.
//  - StartedAgain: a voice hello came from `endpoint`; a record of it
//    elsewhere is from before the client's restart.
//  - PairedControl: the control hello of `endpoint` came after its record was
//    handed over; it brought `control`.
//  - AdmitAsk, Admitted, Refused, Leave: to and from the keeper of an address,
//    the one loop that counts its members (the cap per address) and paces its
//    member lists. AdmitAsk carries the client's `control`, Refused the
//    address's `count`; Leave takes one member off `endpoint.address`.
//  - ListAsk: a list request of `endpoint` for `channel`, for the keeper to
//    judge; ListGo: the keeper's answer, to the loop serving `channel`.
struct ShardMessage {
  enum class Kind : std::uint8_t {
    Claim,
    Handover,
    NotHere,
    StartedAgain,
    PairedControl,
    AdmitAsk,
    Admitted,
    Refused,
    Leave,
    ListAsk,
    ListGo
  };
  Kind kind = Kind::Claim;
  int from = 0;  // the posting loop
  int channel = 0;
  std::size_t count = 0;
  platform::Endpoint endpoint;
  std::optional<platform::Endpoint> control;
  HandedClient client;
};

inline ShardMessage shard_message(ShardMessage::Kind kind, const platform::Endpoint& endpoint, int channel = 0) {
  ShardMessage message;
  message.kind = kind;
  message.endpoint = endpoint;
  message.channel = channel;
  return message;
}

// Where messages to other event loops go.
class ShardPost {
 public:
  ShardPost() = default;
  ShardPost(const ShardPost&) = default;
  ShardPost& operator=(const ShardPost&) = default;
  virtual ~ShardPost() = default;
  // False when that loop's queue from this one is full.
  virtual bool post(int shard, const ShardMessage& message) = 0;
};

// One event loop's place among them all: the channels served go round the
// loops, and addresses are spread over them by a hash.
struct ShardPlace {
  int index = 0;
  int count = 1;
  ShardPost* post = nullptr;  // needed when count > 1
  ChannelSet channels = every_channel();

  // With all eleven served, channel n goes to loop n mod count.
  int loop_of_channel(int channel) const {
    int served_before = 0;
    for (int below = 0; below < channel; ++below)
      served_before += channels.test(static_cast<std::size_t>(below)) ? 1 : 0;
    return served_before % count;
  }
  // Only one loop serving every channel sees every client of an address.
  bool sees_every_client() const { return count == 1 && channels.all(); }
  int keeper_of(std::uint32_t address) const {
    if (count == 1) return 0;
    // Fibonacci hashing: neighbouring addresses land on different loops.
    return static_cast<int>((std::uint64_t{address} * 0x9E3779B97F4A7C15ULL >> 32) % static_cast<std::uint64_t>(count));
  }
};

}  // namespace marvok::relay_server
