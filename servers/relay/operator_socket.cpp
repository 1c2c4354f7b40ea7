#include "operator_socket.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace marvok::relay_server {

namespace {

constexpr std::uint32_t kReadable = EPOLLIN;
constexpr std::uint32_t kWritable = EPOLLOUT;
constexpr std::uint32_t kTrouble = EPOLLERR | EPOLLHUP;
constexpr mode_t kOwnerOnly = 0600;
// Connections accepted in one round, so a burst of them cannot hold the relay.
constexpr int kAcceptsPerRound = 2 * static_cast<int>(OperatorSocket::kMostConnections);
constexpr std::string_view kTooLong = "command too long; at most 256 bytes\n";
static_assert(OperatorSocket::kLongestLine == 256, "kTooLong names the limit");

bool is_blank(std::string_view line) { return line.find_first_not_of(" \t\r") == std::string_view::npos; }

std::string failure(const std::string& path, std::string_view why) {
  return "cannot listen on the control socket " + path + ": " + std::string(why);
}

// Makes way for a new socket at `path`: nothing there, or a socket nobody
// listens on any more, left by a relay that died.
bool clear_stale(const std::string& path, const sockaddr_un& address, std::string& error) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return true;
    error = failure(path, std::strerror(errno));
    return false;
  }
  if (!S_ISSOCK(status.st_mode)) {
    error = failure(path, "it exists and is not a socket");
    return false;
  }
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (probe < 0) {
    error = failure(path, std::strerror(errno));
    return false;
  }
  const int connected = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int reason = errno;
  ::close(probe);
  // A full backlog still means someone listens.
  if (connected == 0 || reason == EAGAIN) {
    error = failure(path, "another relay listens on it");
    return false;
  }
  if (reason != ECONNREFUSED) {
    error = failure(path, std::strerror(reason));
    return false;
  }
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    error = failure(path, std::strerror(errno));
    return false;
  }
  return true;
}

// The file took the socket's mode less the umask. More than the owner's bits
// would have let others in; a umask that took the owner's own is undone.
bool make_owner_only(const std::string& path, std::string& error) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) == 0 && (status.st_mode & 07777 & ~kOwnerOnly) == 0)
    ::chmod(path.c_str(), kOwnerOnly);
  if (::lstat(path.c_str(), &status) != 0 || (status.st_mode & 07777) != kOwnerOnly) {
    error = failure(path, "cannot make it private to its owner");
    return false;
  }
  return true;
}

}  // namespace

std::optional<OperatorSocket> OperatorSocket::open(const std::string& path, std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    error = failure(path, "the path must have 1 to " + std::to_string(sizeof address.sun_path - 1) + " bytes");
    return std::nullopt;
  }
  path.copy(address.sun_path, path.size());
  if (!clear_stale(path, address, error)) return std::nullopt;

  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listener < 0) {
    error = failure(path, std::strerror(errno));
    return std::nullopt;
  }
  // bind() gives the file the socket's own mode, so nobody else can connect
  // between its making and a chmod; umask() would do it for every thread.
  if (::fchmod(listener, kOwnerOnly) != 0 ||
      ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = failure(path, std::strerror(errno));
    ::close(listener);
    return std::nullopt;
  }
  // From here the destructor closes and removes what was made.
  OperatorSocket socket(path, listener, -1);
  if (!make_owner_only(path, error)) return std::nullopt;
  socket.epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  epoll_event event{};
  event.events = kReadable;
  event.data.fd = listener;
  if (socket.epoll_ < 0 || ::listen(listener, static_cast<int>(kMostConnections)) != 0 ||
      ::epoll_ctl(socket.epoll_, EPOLL_CTL_ADD, listener, &event) != 0) {
    error = failure(path, std::strerror(errno));
    return std::nullopt;
  }
  return socket;
}

OperatorSocket::OperatorSocket(OperatorSocket&& other) noexcept
    : path_(std::move(other.path_)),
      listener_(std::exchange(other.listener_, -1)),
      epoll_(std::exchange(other.epoll_, -1)),
      connections_(std::move(other.connections_)) {
  other.connections_.clear();
}

OperatorSocket& OperatorSocket::operator=(OperatorSocket&& other) noexcept {
  if (this != &other) {
    release();
    path_ = std::move(other.path_);
    listener_ = std::exchange(other.listener_, -1);
    epoll_ = std::exchange(other.epoll_, -1);
    connections_ = std::move(other.connections_);
    other.connections_.clear();
  }
  return *this;
}

OperatorSocket::~OperatorSocket() { release(); }

void OperatorSocket::release() {
  for (const Connection& connection : connections_) ::close(connection.fd);
  connections_.clear();
  if (epoll_ >= 0) ::close(epoll_);
  if (listener_ >= 0) {
    ::close(listener_);
    ::unlink(path_.c_str());
  }
  epoll_ = -1;
  listener_ = -1;
}

void OperatorSocket::serve(const std::function<std::string(std::string_view line)>& run) {
  std::array<epoll_event, kMostConnections + 1> events{};
  const int ready = ::epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), 0);
  for (int i = 0; i < ready; ++i) {
    const epoll_event& event = events[static_cast<std::size_t>(i)];
    if (event.data.fd == listener_) {
      accept_waiting();
      continue;
    }
    const auto found = std::find_if(connections_.begin(), connections_.end(),
                                    [&](const Connection& c) { return c.fd == event.data.fd; });
    if (found == connections_.end() || found->broken) continue;
    if ((event.events & (kWritable | kTrouble)) != 0) write_to(*found);
    if ((event.events & (kReadable | kTrouble)) != 0 && !found->ended && !found->broken) read_from(*found);
  }
  answer_in_turn(run);
  close_finished();
}

void OperatorSocket::accept_waiting() {
  for (int i = 0; i < kAcceptsPerRound; ++i) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    epoll_event event{};
    event.events = kReadable;
    event.data.fd = fd;
    if (connections_.size() >= kMostConnections || ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0) {
      ::close(fd);
      continue;
    }
    Connection connection;
    connection.fd = fd;
    connection.watched = kReadable;
    connections_.push_back(std::move(connection));
    // A command usually arrives with its connection: no need to wait a round.
    read_from(connections_.back());
  }
}

void OperatorSocket::read_from(Connection& connection) {
  connection.input.erase(0, connection.consumed);
  connection.consumed = 0;
  const std::size_t room = kMostWaitingLines - std::min(connection.input.size(), kMostWaitingLines);
  if (room == 0) {
    // Full only of lines held back behind answers the peer does not take;
    // when it has just taken them, the lines are answered first.
    if (connection.held_back()) connection.broken = true;
    return;
  }
  const std::size_t kept = connection.input.size();
  connection.input.resize(kept + room);
  const ssize_t got = ::read(connection.fd, connection.input.data() + kept, room);
  const int reason = errno;
  connection.input.resize(kept + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
  if (got == 0) {
    connection.ended = true;
  } else if (got < 0 && reason != EAGAIN && reason != EWOULDBLOCK && reason != EINTR) {
    connection.broken = true;
  }
}

void OperatorSocket::write_to(Connection& connection) {
  while (connection.sent < connection.output.size()) {
    const ssize_t put = ::send(connection.fd, connection.output.data() + connection.sent,
                               connection.output.size() - connection.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (put > 0) {
      connection.sent += static_cast<std::size_t>(put);
    } else if (put < 0 && errno == EINTR) {
      continue;
    } else if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return;
    } else {
      connection.broken = true;
      return;
    }
  }
  connection.output.clear();
  connection.sent = 0;
}

OperatorSocket::Take OperatorSocket::take_line(Connection& connection, std::string_view& line) {
  while (true) {
    const std::string_view rest = std::string_view(connection.input).substr(connection.consumed);
    const std::size_t newline = rest.find('\n');
    if (connection.skipping_line) {
      connection.consumed += newline == std::string_view::npos ? rest.size() : newline + 1;
      connection.skipping_line = newline == std::string_view::npos && !connection.ended;
      if (newline == std::string_view::npos) return Take::Nothing;
      continue;
    }
    // The peer's last line may lack its newline.
    const bool whole = newline != std::string_view::npos || (connection.ended && !rest.empty());
    const std::size_t length = newline == std::string_view::npos ? rest.size() : newline;
    if (length > kLongestLine) {
      connection.consumed += whole ? std::min(length + 1, rest.size()) : rest.size();
      connection.skipping_line = !whole;
      return Take::TooLong;
    }
    if (!whole) return Take::Nothing;
    line = rest.substr(0, length);
    connection.consumed += std::min(length + 1, rest.size());
    return Take::Line;
  }
}

void OperatorSocket::answer_in_turn(const std::function<std::string(std::string_view line)>& run) {
  // One line of each connection a pass, so a long script does not keep a
  // second operator waiting.
  bool answered = true;
  while (answered) {
    answered = false;
    for (Connection& connection : connections_) {
      if (connection.broken || connection.held_back()) continue;
      std::string_view line;
      const Take take = take_line(connection, line);
      if (take == Take::Nothing) continue;
      answered = true;
      if (take == Take::TooLong) {
        connection.output += kTooLong;
      } else if (!is_blank(line)) {
        connection.output += run(line);
      }
      write_to(connection);
    }
  }
}

void OperatorSocket::close_finished() {
  for (Connection& connection : connections_) {
    const bool answered_all =
        connection.consumed == connection.input.size() && connection.sent == connection.output.size();
    const std::uint32_t wanted =
        (connection.ended ? 0u : kReadable) | (connection.sent < connection.output.size() ? kWritable : 0u);
    if (!connection.broken && !(connection.ended && answered_all)) {
      if (wanted == connection.watched) continue;
      epoll_event event{};
      event.events = wanted;
      event.data.fd = connection.fd;
      if (::epoll_ctl(epoll_, EPOLL_CTL_MOD, connection.fd, &event) == 0) {
        connection.watched = wanted;
        continue;
      }
    }
    // Removed by hand: a forked child holding a copy would keep it watched.
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, connection.fd, nullptr);
    ::close(connection.fd);
    connection.fd = -1;
  }
  std::erase_if(connections_, [](const Connection& connection) { return connection.fd < 0; });
}

}  // namespace marvok::relay_server
