#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/udp_socket.h"

namespace marvok::relay_server {

// List requests from addresses with no admitted client yet. A starting
// client asks for lists as its first presence leaves, some 40 ms before it
// can be admitted; its request is answered at admission, as long as the
// client still waits for it. Requests from addresses that are never admitted
// are never answered. Allocates nothing.
class HeldListRequests {
 public:
  using Clock = std::chrono::steady_clock;
  struct Request {
    platform::Endpoint from;
    int channel = 0;
    Clock::time_point arrived{};
  };

  // A client's control worker waits 200 ms, then up to 500 ms, for an answer.
  static constexpr std::chrono::milliseconds kWaitedFor{700};
  static constexpr std::size_t kCapacity = 64;

  // Keeps the request, in place of the oldest one when full.
  void hold(const platform::Endpoint& from, int channel, Clock::time_point now) {
    held_[next_] = {from, channel, now};
    next_ = (next_ + 1) % held_.size();
  }

  // Hands the requests of a client just admitted, still waited for, to
  // `answer` and forgets them: those from its control socket when known,
  // else those from its address.
  template <typename Answer>
  void release(const platform::Endpoint& voice, const std::optional<platform::Endpoint>& control, Clock::time_point now,
               Answer answer) {
    for (Request& request : held_) {
      if (request.arrived == Clock::time_point{}) continue;
      if (control ? request.from != *control : request.from.address != voice.address) continue;
      if (now - request.arrived <= kWaitedFor) answer(request.from, request.channel);
      request = Request{};
    }
  }

 private:
  std::array<Request, kCapacity> held_{};
  std::size_t next_ = 0;
};

}  // namespace marvok::relay_server
