#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marvok::relay_server {

// Operator commands over a local stream socket, for a relay started without a
// terminal: one command a line, each answered on the connection it came from.
// The listener and every connection sit in an epoll set of this socket's own,
// so the relay's event loop watches one descriptor for all of them.
class OperatorSocket {
 public:
  // Connections served at once; more are closed as they come.
  static constexpr std::size_t kMostConnections = 8;
  // Longer lines are dropped whole and answered with an error line.
  static constexpr std::size_t kLongestLine = 256;
  // Answers a peer has not taken yet. Over this, its next lines wait; one
  // answer may go over it, as a list of thousands of clients does.
  static constexpr std::size_t kMostWaitingAnswers = 64 * 1024;
  // Lines read and not answered yet. A peer still sending while its answers
  // wait is not reading them, and is cut off when this is full.
  static constexpr std::size_t kMostWaitingLines = 4096;

  // Listens at `path`, which only this user may connect to. A socket file
  // left by a relay that died is replaced; anything else there is refused.
  // Nothing, with the reason in `error`, when it cannot listen.
  static std::optional<OperatorSocket> open(const std::string& path, std::string& error);

  OperatorSocket(OperatorSocket&& other) noexcept;
  OperatorSocket& operator=(OperatorSocket&& other) noexcept;
  OperatorSocket(const OperatorSocket&) = delete;
  OperatorSocket& operator=(const OperatorSocket&) = delete;
  // Closes every connection and removes the socket file.
  ~OperatorSocket();

  // Readable while serve() has work: new connections, lines, or answers the
  // peers can take now. Watch it level-triggered.
  int descriptor() const { return epoll_; }

  // One round that never waits: takes new connections, reads what each sent,
  // answers every complete line with `run` (blank lines get no answer), a line
  // of each connection in turn, and writes what the peers will take. `run`
  // returns the whole answer, ending in a newline.
  void serve(const std::function<std::string(std::string_view line)>& run);

 private:
  struct Connection {
    int fd = -1;
    std::string input;           // read, from `consumed` on not answered yet
    std::size_t consumed = 0;    // bytes of `input` handed out as lines
    std::string output;          // answers, from `sent` on not taken yet
    std::size_t sent = 0;        // bytes of `output` the peer has taken
    bool skipping_line = false;  // inside a line too long to serve
    bool ended = false;          // the peer sends nothing more
    bool broken = false;         // closed at the end of the round
    std::uint32_t watched = 0;   // the events asked of epoll

    // Its lines wait until the peer takes some answers.
    bool held_back() const { return output.size() - sent > kMostWaitingAnswers; }
  };
  enum class Take { Nothing, Line, TooLong };

  OperatorSocket(std::string path, int listener, int epoll)
      : path_(std::move(path)), listener_(listener), epoll_(epoll) {}

  void accept_waiting();
  void read_from(Connection& connection);
  static void write_to(Connection& connection);
  static Take take_line(Connection& connection, std::string_view& line);
  void answer_in_turn(const std::function<std::string(std::string_view line)>& run);
  void close_finished();
  void release();

  std::string path_;
  int listener_ = -1;
  int epoll_ = -1;
  std::vector<Connection> connections_;
};

}  // namespace marvok::relay_server
