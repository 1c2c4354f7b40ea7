#include "operator_socket.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "operator_client.h"

namespace marvok::relay_server {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kTooLong = "command too long; at most 256 bytes\n";

// The socket's path, in a folder of its own removed at the end.
class SocketPath {
 public:
  SocketPath() : folder_(::mkdtemp(std::string("/tmp/marvok-operator-XXXXXX").data())) {}
  ~SocketPath() { std::filesystem::remove_all(folder_); }
  std::string get() const { return folder_ + "/control"; }

 private:
  std::string folder_;
};

int unix_socket(const std::string& path, bool listen) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, path.size());
  const auto* where = reinterpret_cast<const sockaddr*>(&address);
  EXPECT_EQ(listen ? ::bind(fd, where, sizeof address) + ::listen(fd, 1) : ::connect(fd, where, sizeof address), 0);
  return fd;
}

// An operator's end of a connection, never waiting.
class Peer {
 public:
  explicit Peer(const std::string& path) : fd_(unix_socket(path, false)) {}
  ~Peer() { ::close(fd_); }
  // Sends what the socket takes at once.
  void offer(std::string_view text) {
    if (::send(fd_, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN) closed_ = true;
  }
  void end_sending() { ::shutdown(fd_, SHUT_WR); }
  // What has arrived since the last call.
  std::string take() {
    std::string text;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT)) > 0)
      text.append(chunk, static_cast<std::size_t>(got));
    if (got == 0 || errno != EAGAIN) closed_ = true;
    return text;
  }
  bool closed() const { return closed_; }

 private:
  int fd_;
  bool closed_ = false;
};

// Far more than a socket holds, as a list of thousands of clients is.
const std::string kLongAnswer = std::string(1 << 20, 'b') + "\n";

std::string echo(std::string_view line) { return line == "long" ? kLongAnswer : "did " + std::string(line) + "\n"; }

// Rounds until `done`, each once the socket has work or after a while without.
void serve_until(OperatorSocket& socket, const std::function<std::string(std::string_view)>& run,
                 const std::function<bool()>& done) {
  for (int round = 0; round < 100 && !done(); ++round) {
    pollfd waiting{socket.descriptor(), POLLIN, 0};
    ::poll(&waiting, 1, 50);
    socket.serve(run);
  }
}

OperatorSocket open_at(const std::string& path) {
  std::string error;
  auto socket = OperatorSocket::open(path, error);
  if (!socket) throw std::runtime_error(error);
  return std::move(*socket);
}

TEST(OperatorSocket, SocketFileIsTheOwnersOnlyWhateverTheUmask) {
  for (const mode_t mask : {0000, 0022, 0277}) {
    const SocketPath path;
    const mode_t before = ::umask(mask);
    const OperatorSocket socket = open_at(path.get());
    ::umask(before);
    struct stat status {};
    ASSERT_EQ(::lstat(path.get().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u) << "umask " << mask;
  }
}

TEST(OperatorSocket, AnswersEachLineThenClosesWhenThePeerHasEnded) {
  const std::string longest(256, 'x');
  const struct {
    std::string sent;
    std::string answers;
  } cases[] = {
      {"\n \t\nclose all\n\n", "did close all\n"},
      {"list\nclose 4", "did list\ndid close 4\n"},
      {longest + "\nlist\n", "did " + longest + "\ndid list\n"},
      {longest + "x\nlist\n", std::string(kTooLong) + "did list\n"},
      {std::string(10000, 'x') + "\nlist\n", std::string(kTooLong) + "did list\n"},
      {std::string(300, 'x'), std::string(kTooLong)},
      {"long\nlist\n", kLongAnswer + "did list\n"},
  };
  for (const auto& [sent, answers] : cases) {
    const SocketPath path;
    OperatorSocket socket = open_at(path.get());
    Peer peer(path.get());
    peer.offer(sent);
    peer.end_sending();
    std::string received;
    serve_until(socket, echo, [&] {
      received += peer.take();
      return peer.closed();
    });
    EXPECT_TRUE(peer.closed()) << sent;
    EXPECT_EQ(received, answers) << sent;
  }
}

TEST(OperatorSocket, ServesTwoConnectionsLineByLineInTurn) {
  const SocketPath path;
  OperatorSocket socket = open_at(path.get());
  Peer first(path.get());
  Peer second(path.get());
  first.offer("a1\na2\na3\n");
  second.offer("b1\nb2\n");
  std::vector<std::string> order;
  const auto run = [&](std::string_view line) {
    order.emplace_back(line);
    return echo(line);
  };
  std::string to_first;
  std::string to_second;
  serve_until(socket, run, [&] {
    to_first += first.take();
    to_second += second.take();
    return order.size() == 5;
  });
  EXPECT_EQ(order, (std::vector<std::string>{"a1", "b1", "a2", "b2", "a3"}));
  EXPECT_EQ(to_first, "did a1\ndid a2\ndid a3\n");
  EXPECT_EQ(to_second, "did b1\ndid b2\n");
}

TEST(OperatorSocket, CutsOffAPeerThatSendsWithoutReadingAndServesTheOthers) {
  const SocketPath path;
  OperatorSocket socket = open_at(path.get());
  const std::string answer = std::string(1000, 'a') + "\n";
  const auto run = [&](std::string_view) -> const std::string& { return answer; };
  Peer flood(path.get());
  Peer polite(path.get());
  std::string lists;
  for (int i = 0; i < 800; ++i) lists += "list\n";
  for (int round = 0; round < 1000 && !flood.closed(); ++round) {
    flood.offer(lists);
    polite.offer("list\n");
    socket.serve(run);
    ASSERT_EQ(polite.take(), answer) << "round " << round;
  }
  EXPECT_TRUE(flood.closed());
  EXPECT_FALSE(polite.closed());
}

TEST(OperatorSocket, ReplacesOnlyAStaleSocket) {
  const struct {
    const char* what;
    std::function<int(const std::string& path)> make;  // a descriptor to keep open meanwhile
    bool opens;
  } cases[] = {
      {"nothing", [](const std::string&) { return -1; }, true},
      {"a socket left by a dead relay",
       [](const std::string& path) {
         ::close(unix_socket(path, true));
         return -1;
       },
       true},
      {"a listening socket", [](const std::string& path) { return unix_socket(path, true); }, false},
      {"a file",
       [](const std::string& path) {
         std::ofstream(path) << "notes\n";
         return -1;
       },
       false},
  };
  for (const auto& [what, make, opens] : cases) {
    const SocketPath path;
    const int kept = make(path.get());
    std::optional<OperatorSocket> moved;
    {
      std::string error;
      auto socket = OperatorSocket::open(path.get(), error);
      EXPECT_EQ(socket.has_value(), opens) << what << ": " << error;
      EXPECT_EQ(error.empty(), opens) << what;
      // Moved, it is removed once, by its last owner.
      moved = std::move(socket);
    }
    if (kept >= 0) ::close(kept);
    EXPECT_TRUE(std::filesystem::exists(path.get())) << what;
    moved.reset();
    EXPECT_EQ(std::filesystem::exists(path.get()), !opens) << what;
  }
}

std::string contents(std::FILE* file) {
  std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text;
}

TEST(OperatorClient, CopiesTheWholeAnswerAndExitsWithZero) {
  for (const std::string_view command : {"list", "long"}) {
    const SocketPath path;
    OperatorSocket socket = open_at(path.get());
    std::atomic<bool> done = false;
    std::thread relay([&] {
      while (!done) {
        pollfd waiting{socket.descriptor(), POLLIN, 0};
        ::poll(&waiting, 1, 20);
        socket.serve(echo);
      }
    });
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(send_operator_command(path.get(), command, out, err, 5s), 0);
    done = true;
    relay.join();
    EXPECT_EQ(contents(out), echo(command));
    EXPECT_EQ(contents(err), "");
  }
}

TEST(OperatorClient, ExitsWithOneWhenTheRelayCannotAnswer) {
  const SocketPath path;
  const struct {
    bool listening;  // yet never served
    std::string message;
  } cases[] = {
      {false, "marvok-relay: cannot reach the relay at " + path.get() + ": No such file or directory\n"},
      {true, "marvok-relay: no answer from the relay at " + path.get() + " within 50 ms\n"},
  };
  for (const auto& [listening, message] : cases) {
    const std::optional<OperatorSocket> socket = listening ? std::optional(open_at(path.get())) : std::nullopt;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(send_operator_command(path.get(), "list", out, err, 50ms), 1);
    EXPECT_EQ(contents(out), "");
    EXPECT_EQ(contents(err), message);
  }
}

}  // namespace
}  // namespace marvok::relay_server
