#include "companion/companion_link.h"

#include <algorithm>
#include <array>

#include "state/windows_1252.h"

namespace marvok::companion {

namespace {

constexpr char16_t kGreeting[] = u"Bonjour. Le synthétiseur est actif. Sur la clé droite de la souris";
// A companion binds its socket well within this once started.
constexpr auto kStartedCompanionWait = std::chrono::seconds(5);

}  // namespace

bool CompanionLink::open() {
  auto socket = platform::UdpSocket::open_bound({kLoopbackAddress, 0});
  if (!socket) return false;
  CompanionSocket = std::move(*socket);
  return true;
}

void CompanionLink::speak(std::string_view windows_1252_text) const {
  std::array<std::uint8_t, 1 + kMaxTextBytes> datagram{kSpeak};
  const std::string_view text = windows_1252_text.substr(0, kMaxTextBytes);
  std::ranges::transform(text, datagram.begin() + 1, [](char c) { return static_cast<std::uint8_t>(c); });
  send(std::span(datagram.data(), 1 + text.size()));
}

void CompanionLink::speak(std::u16string_view text) const { speak(to_windows_1252(text)); }

void CompanionLink::quit() const {
  const std::uint8_t datagram[] = {kQuit};
  send(datagram);
}

void CompanionLink::toggle(GuardedText<char16_t, 300>& status_text) const {
  const std::optional<std::string> folder = settings_.find_folder();
  if (!folder) {
    status_text.set(u"Impossible de trouver Program Files");
    return;
  }
  if (platform::is_process_running(settings_.executable_name)) {
    status_text.set(u"Le synthétiseur est fermé ou va se fermer");
    greeting_deadline_.store(kNoGreeting, std::memory_order_relaxed);
    quit();
    return;
  }
  // A failed start reads the same: the member hears nothing either way and tries again.
  platform::start_detached(*folder + "/" + settings_.executable_name);
  status_text.set(u"Le synthétiseur est chargé");
  // The start-up greeting went out before this companion existed: without one
  // of its own it would not know where to send the key it reports.
  greeting_deadline_.store((Clock::now() + kStartedCompanionWait).time_since_epoch().count(),
                           std::memory_order_relaxed);
}

void CompanionLink::greet() const { speak(std::u16string_view(kGreeting)); }

void CompanionLink::greet_started_companion() const {
  const Clock::rep deadline = greeting_deadline_.load(std::memory_order_relaxed);
  if (deadline == kNoGreeting) return;
  const bool listening = platform::udp_port_use(settings_.address.port) == platform::PortUse::Bound;
  if (!listening && Clock::now().time_since_epoch().count() < deadline) return;
  greeting_deadline_.store(kNoGreeting, std::memory_order_relaxed);
  if (listening) greet();
}

// Nobody listening is not an error: the companion is optional.
void CompanionLink::send(std::span<const std::uint8_t> datagram) const {
  CompanionSocket.send_to(datagram, settings_.address);
}

}  // namespace marvok::companion
