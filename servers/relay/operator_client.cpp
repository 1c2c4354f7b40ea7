#include "operator_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace marvok::relay_server {

namespace {

constexpr int kAnswered = 0;
constexpr int kFailed = 1;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

int fail(std::FILE* err, const std::string& what, const std::string& path, int reason) {
  std::fprintf(err, "marvok-relay: %s %s: %s\n", what.c_str(), path.c_str(), std::strerror(reason));
  return kFailed;
}

std::string describe(std::chrono::milliseconds span) {
  if (span.count() % 1000 == 0) return std::to_string(span.count() / 1000) + " s";
  return std::to_string(span.count()) + " ms";
}

bool send_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

}  // namespace

int send_operator_command(const std::string& path, std::string_view command, std::FILE* out, std::FILE* err,
                          std::chrono::milliseconds patience) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return fail(err, "cannot reach the relay at", path, ENAMETOOLONG);
  path.copy(address.sun_path, path.size());

  const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (socket.get() < 0) return fail(err, "cannot reach the relay at", path, errno);
  // A relay whose backlog is full keeps connect() and send() waiting; not
  // longer than an answer.
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(patience.count() / 1000);
  limit.tv_usec = static_cast<suseconds_t>(patience.count() % 1000 * 1000);
  ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return fail(err, "cannot reach the relay at", path, errno);
  // The end of our side tells the relay there is nothing more to answer.
  if (!send_all(socket.get(), std::string(command) + '\n') || ::shutdown(socket.get(), SHUT_WR) != 0)
    return fail(err, "lost the relay at", path, errno);

  bool answered = false;
  std::array<char, 4096> chunk{};
  while (true) {
    pollfd waiting{socket.get(), POLLIN, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(patience.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      std::fprintf(err, "marvok-relay: no answer from the relay at %s within %s\n", path.c_str(),
                   describe(patience).c_str());
      return kFailed;
    }
    const ssize_t got = ready < 0 ? -1 : ::read(socket.get(), chunk.data(), chunk.size());
    if (got == 0) break;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return fail(err, "lost the relay at", path, errno);
    std::fwrite(chunk.data(), 1, static_cast<std::size_t>(got), out);
    answered = true;
  }
  if (!answered) {
    std::fprintf(err, "marvok-relay: the relay at %s closed the connection without an answer\n", path.c_str());
    return kFailed;
  }
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "marvok-relay: cannot write the answer: %s\n", std::strerror(errno));
    return kFailed;
  }
  return kAnswered;
}

}  // namespace marvok::relay_server
