#include "slow_connections.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace marvok::web_server::testing {

namespace {

// The start of a TLS record carrying a ClientHello, cut short.
constexpr unsigned char kHandshakeStart[] = {0x16, 0x03, 0x01, 0x02, 0x00, 0x01, 0x00, 0x01, 0xfc, 0x03, 0x03};

// Writing to a connection the server has closed raises SIGPIPE, which would
// end the test process, and OpenSSL writes with no way to ask otherwise: the
// signal is held back on this thread while a call lasts, and one raised then
// is taken back. The mask is restored, so servers forked later see none of it.
class BrokenPipeHeldBack {
 public:
  BrokenPipeHeldBack() {
    ::sigemptyset(&pipe_);
    ::sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    ::sigpending(&pending);
    was_pending_ = ::sigismember(&pending, SIGPIPE) == 1;
    ::pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
  }
  BrokenPipeHeldBack(const BrokenPipeHeldBack&) = delete;
  BrokenPipeHeldBack& operator=(const BrokenPipeHeldBack&) = delete;
  ~BrokenPipeHeldBack() {
    sigset_t pending;
    ::sigpending(&pending);
    if (!was_pending_ && ::sigismember(&pending, SIGPIPE) == 1) {
      const timespec now{};
      ::sigtimedwait(&pipe_, nullptr, &now);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }

 private:
  sigset_t pipe_;
  sigset_t previous_;
  bool was_pending_ = false;
};

int connect_to(int port, std::chrono::milliseconds patience, const std::string& source) {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return -1;
  // The port is left to connect: chosen at bind, it could not be shared with
  // connections elsewhere, and thousands of them would run short.
  const int yes = 1;
  ::setsockopt(socket, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &yes, sizeof yes);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  if (::inet_pton(AF_INET, source.c_str(), &from.sin_addr) != 1 ||
      ::bind(socket, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0) {
    ::close(socket);
    return -1;
  }
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(patience);
  const timeval wait{seconds.count(), static_cast<suseconds_t>((patience - seconds).count() * 1000)};
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
  // A small receive window, so that an answer left unread stays with the server.
  const int window = 4096;
  ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<std::uint16_t>(port));
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
    ::close(socket);
    return -1;
  }
  return socket;
}

}  // namespace

std::unique_ptr<TlsConnection> TlsConnection::open(int port, std::chrono::milliseconds patience,
                                                   const std::string& source) {
  const int socket = connect_to(port, patience, source);
  if (socket < 0) return nullptr;
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  SSL* tls = context ? SSL_new(context) : nullptr;
  std::unique_ptr<TlsConnection> connection(new TlsConnection(socket, context, tls));
  const BrokenPipeHeldBack held_back;
  if (!tls || SSL_set_fd(tls, socket) != 1 || SSL_connect(tls) != 1) return nullptr;
  return connection;
}

TlsConnection::~TlsConnection() {
  if (tls_) SSL_free(tls_);
  if (context_) SSL_CTX_free(context_);
  ::close(socket_);
}

bool TlsConnection::write(std::string_view bytes) {
  const BrokenPipeHeldBack held_back;
  while (!bytes.empty()) {
    const int written = SSL_write(tls_, bytes.data(), static_cast<int>(bytes.size()));
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::optional<std::string> TlsConnection::read_until_closed() {
  const BrokenPipeHeldBack held_back;  // a read may write too, a key update or an alert
  std::string answer;
  char buffer[16384];
  for (;;) {
    errno = 0;
    const int count = SSL_read(tls_, buffer, sizeof buffer);
    if (count > 0) {
      answer.append(buffer, static_cast<std::size_t>(count));
      continue;
    }
    const bool waited_out =
        SSL_get_error(tls_, count) == SSL_ERROR_SYSCALL && (errno == EAGAIN || errno == EWOULDBLOCK);
    if (waited_out) return std::nullopt;
    return answer;
  }
}

SlowConnections::~SlowConnections() {
  for (const int socket : sockets_) ::close(socket);
}

bool SlowConnections::open(Slowness slowness, int count) {
  for (int i = 0; i < count; ++i) {
    if (!open_one(slowness)) return false;
  }
  return true;
}

bool SlowConnections::open_one(Slowness slowness) {
  constexpr std::chrono::seconds kPatience{3};
  if (slowness == Slowness::Silent || slowness == Slowness::HalfHandshake) {
    const int socket = connect_to(port_, kPatience, source_);
    if (socket < 0) return false;
    sockets_.push_back(socket);
    return slowness == Slowness::Silent || ::send(socket, kHandshakeStart, sizeof kHandshakeStart, MSG_NOSIGNAL) > 0;
  }
  auto connection = TlsConnection::open(port_, kPatience, source_);
  if (!connection) return false;
  bool sent = false;
  switch (slowness) {
    case Slowness::DribbledHead:
      sent = connection->write("GET /users/1/client.xml HTTP/1.1\r\nHost: localhost\r\n");
      break;
    case Slowness::UnreadAnswer:
      sent = connection->write("GET /FR-Marvok.php HTTP/1.1\r\nHost: localhost\r\n\r\n");
      break;
    default:
      sent = connection->write(
          "POST /echange/pc_img_share_post.php HTTP/1.1\r\nHost: localhost\r\n"
          "Content-Length: 10000268\r\n\r\nslow");
      break;
  }
  connections_.push_back(std::move(connection));
  return sent;
}

}  // namespace marvok::web_server::testing
