#include "relay/channels.h"

#include <array>

#include "relay/datagrams.h"

namespace marvok::relay {

namespace {

constexpr std::array<std::u16string_view, kChannelCount> kNames = {
    u"Bienvenue",       u"Accueil Général",    u"Place du village",   u"Zone Technologie",
    u"Les Ondes Radio", u"Au café de la gare", u"Evasion et camping", u"La bonne ambiance",
    u"Entre copines",   u"Musique en stéréo",  u"Tests divers"};

}  // namespace

std::u16string_view channel_name(int channel) {
  return is_channel(channel) ? kNames[static_cast<std::size_t>(channel)] : std::u16string_view();
}

void select_channel(ChannelState& channel, int n) {
  if (!is_channel(n)) return;
  channel.ChannelMemberCount.store(-1, std::memory_order_relaxed);
  channel.ChannelPort.store(voice_port_of(n), std::memory_order_relaxed);
}

int current_channel(const ChannelState& channel) {
  return channel.ChannelPort.load(std::memory_order_relaxed) - kFirstVoicePort;
}

}  // namespace marvok::relay
