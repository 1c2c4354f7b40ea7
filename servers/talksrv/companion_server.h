#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>

#include "platform/udp_socket.h"

namespace marvok::talksrv {

inline constexpr std::uint16_t kCompanionPort = 5555;

// The one-byte reports that key and unkey the client's transmitter.
enum class Report : std::uint8_t { Talk = 'T', Release = 'R' };

// What a datagram from the client asks for.
struct Request {
  enum class Kind { Speak, Quit, Ignore };
  Kind kind = Kind::Ignore;
  std::string utf8_text;  // for Speak; empty asks for silence
};

// Reads a datagram: 0x01 and a Windows-1252 text, 0xFF alone or with
// anything after it, or something to ignore.
Request read_request(std::span<const std::uint8_t> datagram);

// The companion's end of the link: takes the client's requests on a loopback
// port and sends the push-to-talk reports back to whoever spoke last.
class CompanionServer {
 public:
  struct Handlers {
    std::function<void(std::string utf8_text)> speak;
    std::function<void()> quit;
  };

  // Nothing when the port is taken or cannot be bound.
  static std::unique_ptr<CompanionServer> open(const platform::Endpoint& local);

  CompanionServer(const CompanionServer&) = delete;
  CompanionServer& operator=(const CompanionServer&) = delete;

  const platform::UdpSocket& socket() const { return socket_; }

  // Serves requests until stopped; a quit request is handed on and serving goes
  // on until the owner stops it.
  void run(const std::stop_token& stop, const Handlers& handlers);

  // Sends a report to the sender of the last datagram; before any datagram
  // there is nobody to send to, which is said once on standard error.
  // Any thread may report.
  void report(Report report);

 private:
  explicit CompanionServer(platform::UdpSocket socket) : socket_(std::move(socket)) {}
  void remember_sender(const platform::Endpoint& sender);

  platform::UdpSocket socket_;
  std::mutex sender_mutex_;
  std::optional<platform::Endpoint> last_sender_;
  bool told_nobody_ = false;
};

}  // namespace marvok::talksrv
