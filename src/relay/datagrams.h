#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "state/voice_format.h"

// Every datagram exchanged between the client and the relay server, built and
// read byte by byte. Multi-byte integers are little-endian; member numbers are
// 16 bits wide everywhere.
namespace marvok::relay {

inline constexpr std::size_t kMaxDatagramSize = 1024;
inline constexpr int kChannelCount = 11;
inline constexpr int kFirstVoicePort = 30000;
inline constexpr int kFirstControlPort = 31000;
inline constexpr int kControlPortOffset = kFirstControlPort - kFirstVoicePort;
inline constexpr int kMaxListedMembers = 16;

inline constexpr std::size_t kVoiceBlockSize = kVoiceBlockBytes;
inline constexpr std::size_t kVoiceHeaderSize = 24;
inline constexpr std::size_t kVoiceDatagramSize = kVoiceHeaderSize + kVoiceBlockSize;
inline constexpr std::size_t kMaxOpusPacketSize = 255;

inline constexpr std::size_t kVoiceHelloSize = 9;
inline constexpr std::size_t kControlHelloSize = 18;
inline constexpr std::size_t kListRequestSize = 3;
inline constexpr std::size_t kAliveSize = 3;

inline constexpr std::uint8_t kNoticeVersionTooOld = 220;
inline constexpr std::uint8_t kNoticeSupervisorCloses = 240;

using Buffer = std::array<std::uint8_t, kMaxDatagramSize>;
using Bytes = std::span<const std::uint8_t>;

inline constexpr bool is_channel(int n) { return n >= 0 && n < kChannelCount; }
inline constexpr int voice_port_of(int channel) { return kFirstVoicePort + channel; }
inline constexpr int control_port_of(int channel) { return kFirstControlPort + channel; }

// ---- client to relay -------------------------------------------------------

enum class PresenceVariant : std::uint8_t { Version = 'V', Name = 'N', Device = 'D' };

std::size_t write_voice_hello(Buffer& out);
// The voice hello twice in a row.
std::size_t write_control_hello(Buffer& out);
// Presence of `member`; the version variant carries the first, third and fifth
// characters of the version text, the device variant the machine identifier
// when it has exactly 16 characters and "DEVICE.ID" otherwise.
std::size_t write_presence(Buffer& out, PresenceVariant variant, std::uint16_t member, std::string_view version,
                           std::string_view machine_id);
// One block of the member's speech: tag, sequence number, member, source label, audio.
std::size_t write_outgoing_voice(Buffer& out, std::uint8_t sequence, std::uint16_t member,
                                 std::span<const std::uint8_t, kVoiceBlockSize> block);
std::size_t write_list_request(Buffer& out);
std::size_t write_alive(Buffer& out);

// ---- relay to client -------------------------------------------------------

enum class VoiceKind : std::uint8_t { PcmA = 'A', PcmB = 'B', Opus = 'O' };

inline constexpr std::uint8_t kSilentBlock = 0;
inline constexpr std::uint8_t kAudioBlock = 1;

// Forwarded raw speech: a content flag of 1 followed by the block, or 0 for silence.
std::size_t write_forwarded_pcm(Buffer& out, VoiceKind kind, std::uint8_t sequence, std::uint16_t member,
                                std::optional<std::span<const std::uint8_t, kVoiceBlockSize>> block);
// Forwarded Opus speech; packets longer than 255 bytes are refused (returns 0).
std::size_t write_forwarded_opus(Buffer& out, std::uint8_t sequence, std::uint16_t member,
                                 std::span<const std::uint8_t> packet);
// The members present in a channel; at most 16 are listed.
std::size_t write_member_list(Buffer& out, int channel, std::span<const std::uint16_t> members);
std::size_t write_notice(Buffer& out, std::uint8_t code);

// ---- reading what the client receives -----------------------------------------

// A speech datagram as the client reads it. `pcm` holds the block only when the
// content flag says a block follows and all its bytes arrived; `opus` holds
// the packet only when all the bytes its length announces arrived.
struct IncomingVoice {
  VoiceKind kind = VoiceKind::PcmA;
  std::uint8_t sequence = 0;
  std::uint16_t speaker = 0;
  std::uint8_t content_flag = 0;
  std::optional<std::span<const std::uint8_t>> pcm;
  std::optional<std::span<const std::uint8_t>> opus;
};

// Nothing when the datagram is not speech: another kind, or too short to hold
// the fields every speech datagram of its kind carries.
std::optional<IncomingVoice> read_incoming_voice(Bytes datagram);

struct MemberList {
  int channel = 0;
  int count = 0;  // may be zero or negative: then no member is listed
  std::array<std::uint16_t, kMaxListedMembers> members{};
};

// Nothing when the list does not fit the member table: a channel outside 0 to
// 10, more than 16 members, or fewer member numbers than the count announces.
std::optional<MemberList> read_member_list(Bytes datagram);

// The code of a supervisor notice; nothing for anything else.
std::optional<std::uint8_t> read_notice(Bytes datagram);

// ---- reading what the relay receives --------------------------------------------

enum class ClientDatagram { VoiceHello, ControlHello, Presence, Voice, ListRequest, Alive, Unknown };
ClientDatagram classify_client_datagram(Bytes datagram);

struct Presence {
  PresenceVariant variant = PresenceVariant::Name;
  std::uint16_t member = 0;
  std::array<char, 3> version{};  // version variant: three version characters
  std::string_view machine_id;    // device variant: 16 digits, or "DEVICE.ID"
};
std::optional<Presence> read_presence(Bytes datagram);

struct OutgoingVoice {
  std::uint8_t sequence = 0;
  std::uint16_t member = 0;
  std::span<const std::uint8_t> block;  // always 1000 bytes
};
std::optional<OutgoingVoice> read_outgoing_voice(Bytes datagram);

}  // namespace marvok::relay
