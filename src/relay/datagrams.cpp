#include "relay/datagrams.h"

#include <algorithm>
#include <cstring>

#include "state/little_endian.h"

namespace marvok::relay {

namespace {

constexpr std::uint8_t kHello[kVoiceHelloSize] = {'T', '.', 'W', 'I', 78, 0, 0, 0, 0};
constexpr char kNameText[] = "WIN.PSEUDO.WIN.";
constexpr char kUnknownDevice[] = "DEVICE.ID";
constexpr char kSourceLabel[] = "WIN-APP-Radio";
constexpr std::size_t kMachineIdLength = 16;
constexpr std::size_t kPresenceHeadSize = 9;
constexpr std::size_t kOpusLengthOffset = 5;
constexpr std::size_t kContentFlagOffset = 7;

void put_member(Buffer& out, std::size_t at, std::uint16_t member) { write_u16_le(out, at, member); }

std::uint16_t member_at(Bytes datagram, std::size_t at) { return read_u16_le(datagram, at); }

// The channel and count of a member list are signed bytes.
int signed_byte(std::uint8_t byte) { return byte < 0x80 ? byte : byte - 0x100; }

std::size_t put_text(Buffer& out, std::size_t at, std::string_view text) {
  std::memcpy(out.data() + at, text.data(), text.size());
  out[at + text.size()] = 0;
  return at + text.size() + 1;
}

// The fixed head of every speech datagram the relay forwards.
void put_forwarded_head(Buffer& out, VoiceKind kind, std::uint8_t sequence, std::uint16_t member) {
  std::fill(out.begin(), out.begin() + kVoiceHeaderSize, std::uint8_t{0});
  out[0] = static_cast<std::uint8_t>(kind);
  out[1] = sequence;
  put_member(out, 3, member);
}

}  // namespace

std::size_t write_voice_hello(Buffer& out) {
  std::copy(std::begin(kHello), std::end(kHello), out.begin());
  return kVoiceHelloSize;
}

std::size_t write_control_hello(Buffer& out) {
  write_voice_hello(out);
  std::copy(std::begin(kHello), std::end(kHello), out.begin() + kVoiceHelloSize);
  return kControlHelloSize;
}

std::size_t write_presence(Buffer& out, PresenceVariant variant, std::uint16_t member, std::string_view version,
                           std::string_view machine_id) {
  std::fill(out.begin(), out.begin() + kPresenceHeadSize, std::uint8_t{0});
  out[0] = 'R';
  out[1] = '.';
  put_member(out, 3, member);
  out[9] = static_cast<std::uint8_t>(variant);
  switch (variant) {
    case PresenceVariant::Version:
      for (std::size_t i = 0; i < 3; ++i)
        out[10 + i] = 2 * i < version.size() ? static_cast<std::uint8_t>(version[2 * i]) : 0;
      out[13] = 0x02;
      return 14;
    case PresenceVariant::Name: return put_text(out, 10, kNameText);
    case PresenceVariant::Device:
      return put_text(out, 10, machine_id.size() == kMachineIdLength ? machine_id : kUnknownDevice);
  }
  return 0;
}

std::size_t write_outgoing_voice(Buffer& out, std::uint8_t sequence, std::uint16_t member,
                                 std::span<const std::uint8_t, kVoiceBlockSize> block) {
  out[0] = 'A';
  out[1] = sequence;
  out[2] = 0;
  put_member(out, 3, member);
  out[5] = 0x00;
  out[6] = 0x4E;
  put_text(out, 7, kSourceLabel);
  out[21] = out[22] = out[23] = 0;
  std::copy(block.begin(), block.end(), out.begin() + kVoiceHeaderSize);
  return kVoiceDatagramSize;
}

std::size_t write_list_request(Buffer& out) {
  out[0] = 'L';
  out[1] = out[2] = 0;
  return kListRequestSize;
}

std::size_t write_alive(Buffer& out) {
  out[0] = 'A';
  out[1] = 0x01;
  out[2] = 0x00;
  return kAliveSize;
}

std::size_t write_forwarded_pcm(Buffer& out, VoiceKind kind, std::uint8_t sequence, std::uint16_t member,
                                std::optional<std::span<const std::uint8_t, kVoiceBlockSize>> block) {
  put_forwarded_head(out, kind, sequence, member);
  if (!block) {
    out[kContentFlagOffset] = kSilentBlock;
    return kVoiceHeaderSize;
  }
  out[kContentFlagOffset] = kAudioBlock;
  std::copy(block->begin(), block->end(), out.begin() + kVoiceHeaderSize);
  return kVoiceDatagramSize;
}

std::size_t write_forwarded_opus(Buffer& out, std::uint8_t sequence, std::uint16_t member,
                                 std::span<const std::uint8_t> packet) {
  if (packet.size() > kMaxOpusPacketSize) return 0;
  put_forwarded_head(out, VoiceKind::Opus, sequence, member);
  out[kOpusLengthOffset] = static_cast<std::uint8_t>(packet.size());
  std::copy(packet.begin(), packet.end(), out.begin() + kVoiceHeaderSize);
  return kVoiceHeaderSize + packet.size();
}

std::size_t write_member_list(Buffer& out, int channel, std::span<const std::uint16_t> members) {
  const std::size_t count = std::min<std::size_t>(members.size(), kMaxListedMembers);
  out[0] = 'L';
  out[1] = static_cast<std::uint8_t>(channel);
  out[2] = static_cast<std::uint8_t>(count);
  for (std::size_t i = 0; i < count; ++i) put_member(out, 3 + 2 * i, members[i]);
  return 3 + 2 * count;
}

std::size_t write_notice(Buffer& out, std::uint8_t code) {
  out[0] = 'A';
  out[1] = 0;
  out[2] = code;
  return 3;
}

std::optional<IncomingVoice> read_incoming_voice(Bytes datagram) {
  if (datagram.empty()) return std::nullopt;
  IncomingVoice voice;
  switch (datagram[0]) {
    case 'A': voice.kind = VoiceKind::PcmA; break;
    case 'B': voice.kind = VoiceKind::PcmB; break;
    case 'O': voice.kind = VoiceKind::Opus; break;
    default: return std::nullopt;
  }
  const std::size_t smallest = voice.kind == VoiceKind::Opus ? kOpusLengthOffset + 1 : kContentFlagOffset + 1;
  if (datagram.size() < smallest) return std::nullopt;
  voice.sequence = datagram[1];
  voice.speaker = member_at(datagram, 3);
  if (voice.kind == VoiceKind::Opus) {
    const std::size_t length = datagram[kOpusLengthOffset];
    if (datagram.size() >= kVoiceHeaderSize + length) voice.opus = datagram.subspan(kVoiceHeaderSize, length);
  } else {
    voice.content_flag = datagram[kContentFlagOffset];
    if (voice.content_flag == kAudioBlock && datagram.size() >= kVoiceDatagramSize)
      voice.pcm = datagram.subspan(kVoiceHeaderSize, kVoiceBlockSize);
  }
  return voice;
}

std::optional<MemberList> read_member_list(Bytes datagram) {
  if (datagram.size() < 3 || datagram[0] != 'L') return std::nullopt;
  MemberList list;
  list.channel = signed_byte(datagram[1]);
  list.count = signed_byte(datagram[2]);
  if (!is_channel(list.channel) || list.count > kMaxListedMembers) return std::nullopt;
  if (list.count > 0 && datagram.size() < 3 + 2 * static_cast<std::size_t>(list.count)) return std::nullopt;
  for (int i = 0; i < list.count; ++i) list.members[static_cast<std::size_t>(i)] = member_at(datagram, 3 + 2 * i);
  return list;
}

std::optional<std::uint8_t> read_notice(Bytes datagram) {
  if (datagram.size() < 3 || datagram[0] != 'A') return std::nullopt;
  return datagram[2];
}

ClientDatagram classify_client_datagram(Bytes datagram) {
  if (datagram.size() == kVoiceHelloSize && std::equal(datagram.begin(), datagram.end(), std::begin(kHello)))
    return ClientDatagram::VoiceHello;
  if (datagram.size() == kControlHelloSize && std::equal(datagram.begin(), datagram.begin() + 9, std::begin(kHello)) &&
      std::equal(datagram.begin() + 9, datagram.end(), std::begin(kHello)))
    return ClientDatagram::ControlHello;
  if (datagram.size() >= kPresenceHeadSize + 1 && datagram[0] == 'R' && datagram[1] == '.')
    return ClientDatagram::Presence;
  if (datagram.size() == kVoiceDatagramSize && datagram[0] == 'A') return ClientDatagram::Voice;
  if (datagram.size() == kListRequestSize && datagram[0] == 'L') return ClientDatagram::ListRequest;
  if (datagram.size() == kAliveSize && datagram[0] == 'A') return ClientDatagram::Alive;
  return ClientDatagram::Unknown;
}

std::optional<Presence> read_presence(Bytes datagram) {
  if (classify_client_datagram(datagram) != ClientDatagram::Presence) return std::nullopt;
  Presence presence;
  presence.member = member_at(datagram, 3);
  const auto text_at_10 = [&]() -> std::optional<std::string_view> {
    const auto begin = datagram.begin() + 10;
    const auto end = std::find(begin, datagram.end(), std::uint8_t{0});
    if (end == datagram.end()) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(&*begin), static_cast<std::size_t>(end - begin));
  };
  switch (datagram[9]) {
    case 'V':
      if (datagram.size() < 14) return std::nullopt;
      presence.variant = PresenceVariant::Version;
      for (std::size_t i = 0; i < 3; ++i) presence.version[i] = static_cast<char>(datagram[10 + i]);
      return presence;
    case 'N': presence.variant = PresenceVariant::Name; return presence;
    case 'D': {
      presence.variant = PresenceVariant::Device;
      const auto id = text_at_10();
      if (!id) return std::nullopt;
      presence.machine_id = *id;
      return presence;
    }
    default: return std::nullopt;
  }
}

std::optional<OutgoingVoice> read_outgoing_voice(Bytes datagram) {
  if (classify_client_datagram(datagram) != ClientDatagram::Voice) return std::nullopt;
  return OutgoingVoice{datagram[1], member_at(datagram, 3), datagram.subspan(kVoiceHeaderSize, kVoiceBlockSize)};
}

}  // namespace marvok::relay
