#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "state/guarded_text.h"
#include "state/led_color.h"
#include "state/talk_state.h"
#include "state/version.h"
#include "state/voice_format.h"

namespace marvok {

inline constexpr char16_t kWelcomeText[] = u"Bienvenue sur le réseau Marvok de téléphonie de loisir";

// Member number used until the web service has identified this PC.
inline constexpr std::uint16_t kPlaceholderMemberId = 0;

inline constexpr std::int32_t kFirstChannelPort = 30000;
// The inactivity count's full length. It is defined alone in its own file so
// that a test build of the client can link a shorter one in its place.
extern const std::int32_t kCountdownSeconds;
inline constexpr int kInputDeviceSlots = 15;

// The member number as it travels in relay datagrams: both bytes, written together.
struct MemberIdBytes {
  std::uint8_t high = 0;
  std::uint8_t low = 0;
};

struct IdentityState {
  // Sixteen decimal digits; written once by start-up before any worker starts.
  std::array<char, 20> MachineId{};
  std::atomic<std::uint16_t> MemberId{kPlaceholderMemberId};
  std::atomic<MemberIdBytes> MemberIdWire{MemberIdBytes{static_cast<std::uint8_t>(kPlaceholderMemberId >> 8),
                                                        static_cast<std::uint8_t>(kPlaceholderMemberId & 0xFF)}};
  // The 24 bytes of the display name from the identification reply.
  GuardedText<char, 25> MemberName;

  void set_member_id(std::uint16_t id) {
    MemberId.store(id, std::memory_order_relaxed);
    MemberIdWire.store({static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id & 0xFF)},
                       std::memory_order_relaxed);
  }
};

struct ChannelState {
  // Current channel as the relay's voice port: 30000 + channel number.
  std::atomic<std::int32_t> ChannelPort{kFirstChannelPort};
  // Members present as last announced by the relay; -1 after a channel change.
  std::atomic<std::int32_t> ChannelMemberCount{0};
  // Member number carried by the last voice datagram received.
  std::atomic<std::int32_t> SpeakerId{0};
};

// 1 = the received stream is PCM, 2 = Opus, anything else = none seen yet.
enum class StreamFormat : std::int32_t { None = 0, Pcm = 1, Opus = 2 };

// Whether the close cross of the main window is drawn and reacts to the pointer.
enum class CrossVisibility : std::int32_t { Hidden = 0, Shown = 1 };

struct DisplayState {
  // Colour as 0x00BBGGRR.
  std::atomic<std::uint32_t> BackgroundColor{0};
  GuardedText<char16_t, 200> InfoLine;
  GuardedText<char16_t, 300> StatusText;
  std::atomic<bool> ForceRefetch{false};
  std::atomic<bool> PanelsReady{false};
  std::atomic<CrossVisibility> CloseCrossShown{CrossVisibility::Hidden};
  std::atomic<StreamFormat> ReceivedFormat{StreamFormat::None};
};

// The status lights of the main window, each holding a `LedColor` code.
struct LightsState {
  LedCell TstLed;
  LedCell HttpsLed;
  LedCell TxRxLed;
  LedCell UdpLed;
  LedCell SvcLed;
  LedCell TcpLed;
  std::array<LedCell, 5> ErrorLevelLeds;
  // The ring of lights around NETWORK: playback, received speech and the
  // member's own transmission draw on it.
  std::array<LedCell, kNetworkRingCells> NetworkRing;
  // The ring cell that playback has just left; received speech marks it green.
  std::atomic<std::int32_t> PlaybackCursorCell{0};
  // Losses in the current window of received speech; 99 while nothing arrives.
  std::atomic<std::int32_t> ErrorLevel{99};

  LightsState();
  // Puts every light back to its initial colour.
  void reset();
};

// One audio input device and the endpoint matched to it. Main thread only.
struct InputDeviceEntry {
  std::int32_t device_id = -1;
  std::int32_t endpoint_index = -1;
  std::u16string icon_path;
  std::u16string endpoint_name = u"Windows Driver";
  std::u16string device_name = u"Windows Driver";
};

struct DeviceState {
  std::array<InputDeviceEntry, kInputDeviceSlots> InputDeviceTable{};
  // Input device chosen by the member; -1 is the system's default device.
  std::atomic<std::int32_t> SelectedInputDevice{-1};
  // Master level (0.0 to 1.0) of the default microphone, read at start-up and
  // restored at shutdown; `SavedMicLevelKnown` says whether the read succeeded.
  std::atomic<float> SavedMicLevel{0.0f};
  std::atomic<bool> SavedMicLevelKnown{false};

  void reset_input_devices();
};

// The state of the client shared by its windows, timers and threads, grouped
// by concern; the client object owns the one instance. Scalars shared
// between threads are atomics used with relaxed loads and stores: each has
// named writers and readers tolerate the old or the new value.
struct SessionState {
  IdentityState identity;
  ChannelState channel;
  TalkState talk;
  // Seconds before the inactivity supervisor closes the client.
  std::atomic<std::int32_t> SecondsLeft{0};
  DisplayState display;
  LightsState lights;
  DeviceState devices;
};

}  // namespace marvok
