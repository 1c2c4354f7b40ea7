#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/processes.h"
#include "platform/udp_socket.h"
#include "state/guarded_text.h"

namespace marvok::companion {

constexpr std::uint32_t kLoopbackAddress = 0x7F000001;

// Where the speech companion listens and where its executable lies.
struct CompanionSettings {
  platform::Endpoint address{kLoopbackAddress, 5555};
  std::string executable_name = platform::program_file_name("talksrv");
  // The companion is installed next to the client.
  std::function<std::optional<std::string>()> find_folder = platform::own_executable_folder;
};

// The client's side of the link with the speech companion, which reads help
// texts aloud and reports key presses that key the member's transmitter.
class CompanionLink {
 public:
  static constexpr std::uint8_t kSpeak = 0x01;
  static constexpr std::uint8_t kQuit = 0xFF;
  static constexpr std::size_t kMaxTextBytes = 200;

  explicit CompanionLink(CompanionSettings settings = {}) : settings_(std::move(settings)) {}

  // Binds the link's socket to the loopback address only, so no other host
  // can key the microphone. False leaves the link inert: sends do nothing and
  // the receiver idles.
  bool open();

  // Reads out a text already in the companion's code page; longer texts are cut.
  void speak(std::string_view windows_1252_text) const;
  void speak(std::u16string_view text) const;
  // Asks the companion to close.
  void quit() const;
  // Starts the companion, or asks it to close when it already runs, and says
  // which on the status line. A companion started here is greeted once it
  // listens (see `greet_started_companion`).
  void toggle(GuardedText<char16_t, 300>& status_text) const;

  // The greeting read aloud at start-up; it also tells the companion where
  // to send its key reports.
  void greet() const;
  // Greets a companion that `toggle` started, once its socket is bound, or
  // gives up a few seconds after the start. The receiver's thread calls it on
  // each turn; cheap when no greeting waits.
  void greet_started_companion() const;
  bool greeting_waits() const { return greeting_deadline_.load(std::memory_order_relaxed) != kNoGreeting; }

  const platform::UdpSocket& socket() const { return CompanionSocket; }

 private:
  void send(std::span<const std::uint8_t> datagram) const;

  using Clock = std::chrono::steady_clock;
  static constexpr Clock::rep kNoGreeting = 0;

  CompanionSettings settings_;
  platform::UdpSocket CompanionSocket;
  // Until when a started companion is waited for, in ticks of `Clock`.
  mutable std::atomic<Clock::rep> greeting_deadline_{kNoGreeting};
};

}  // namespace marvok::companion
