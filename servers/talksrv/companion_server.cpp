#include "companion_server.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "companion/companion_link.h"
#include "state/utf8.h"
#include "state/windows_1252.h"

namespace marvok::talksrv {

namespace {

using namespace std::chrono_literals;
using companion::CompanionLink;

// The largest UDP payload over IPv4: whatever the client sends is read whole.
constexpr std::size_t kLargestDatagram = 65507;

}  // namespace

Request read_request(std::span<const std::uint8_t> datagram) {
  if (datagram.empty()) return {};
  if (datagram[0] == CompanionLink::kQuit) return {Request::Kind::Quit, {}};
  if (datagram[0] != CompanionLink::kSpeak) return {};
  std::u16string text = marvok::from_windows_1252(
      std::string_view(reinterpret_cast<const char*>(datagram.data()) + 1, datagram.size() - 1));
  // The engine stops at a NUL and has no use for control codes: they part words.
  for (char16_t& c : text)
    if (c < u' ') c = u' ';
  return {Request::Kind::Speak, utf16_to_utf8(text)};
}

std::unique_ptr<CompanionServer> CompanionServer::open(const platform::Endpoint& local) {
  auto socket = platform::UdpSocket::open_bound(local);
  if (!socket) return nullptr;
  return std::unique_ptr<CompanionServer>(new CompanionServer(std::move(*socket)));
}

void CompanionServer::run(const std::stop_token& stop, const Handlers& handlers) {
  std::vector<std::uint8_t> buffer(kLargestDatagram);
  while (!stop.stop_requested()) {
    // A short wait so a stop is seen soon.
    if (socket_.wait_readable(100ms) != platform::UdpSocket::Wait::Readable) continue;
    const auto received = socket_.receive(buffer, platform::UdpSocket::Oversize::Cut);
    if (!received) continue;
    remember_sender(received->from);
    Request request = read_request(std::span(buffer).first(received->size));
    switch (request.kind) {
      case Request::Kind::Speak: handlers.speak(std::move(request.utf8_text)); break;
      case Request::Kind::Quit: handlers.quit(); break;
      case Request::Kind::Ignore: break;
    }
  }
}

void CompanionServer::remember_sender(const platform::Endpoint& sender) {
  const std::lock_guard lock(sender_mutex_);
  last_sender_ = sender;
}

void CompanionServer::report(Report report) {
  std::optional<platform::Endpoint> to;
  {
    const std::lock_guard lock(sender_mutex_);
    to = last_sender_;
    if (!to && !told_nobody_) {
      told_nobody_ = true;
      std::fputs("talksrv: no client has spoken to talksrv yet: push-to-talk is not reported until one does\n", stderr);
    }
  }
  if (!to) return;
  const std::uint8_t byte = static_cast<std::uint8_t>(report);
  socket_.send_to(std::span(&byte, 1), *to);
}

}  // namespace marvok::talksrv
