#pragma once

#include <openssl/ssl.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marvok::web_server::testing {

// A TLS connection to a loopback port, written and read by hand. It does not
// check the certificate: it plays a client that sends what it likes.
class TlsConnection {
 public:
  // Connected from `source` (another loopback address plays another
  // client) and through the handshake, or nothing; every wait is bounded by
  // `patience`.
  static std::unique_ptr<TlsConnection> open(int port, std::chrono::milliseconds patience = std::chrono::seconds(3),
                                             const std::string& source = "127.0.0.1");
  TlsConnection(const TlsConnection&) = delete;
  TlsConnection& operator=(const TlsConnection&) = delete;
  ~TlsConnection();

  bool write(std::string_view bytes);
  // What arrives until the server closes the connection; nothing when
  // `patience` passes without a byte first.
  std::optional<std::string> read_until_closed();

 private:
  TlsConnection(int socket, SSL_CTX* context, SSL* tls) : socket_(socket), context_(context), tls_(tls) {}

  int socket_;
  SSL_CTX* context_;
  SSL* tls_;
};

// The ways a connection can hold a web server without finishing anything.
enum class Slowness {
  Silent,         // connects and never starts the TLS handshake
  HalfHandshake,  // starts the handshake and never finishes it
  DribbledHead,   // after the handshake, sends part of a request head
  UnreadAnswer,   // asks for a page and never reads the answer
  DribbledBody,   // announces a whole upload record and sends a few bytes of it
};

// Connections to a loopback port from `source`, held open in one of those
// ways until destroyed.
class SlowConnections {
 public:
  explicit SlowConnections(int port, std::string source = "127.0.0.1") : port_(port), source_(std::move(source)) {}
  SlowConnections(const SlowConnections&) = delete;
  SlowConnections& operator=(const SlowConnections&) = delete;
  ~SlowConnections();

  // Opens `count` more; false when one could not be opened as asked.
  bool open(Slowness slowness, int count);

 private:
  bool open_one(Slowness slowness);

  int port_;
  std::string source_;
  std::vector<int> sockets_;
  std::vector<std::unique_ptr<TlsConnection>> connections_;
};

}  // namespace marvok::web_server::testing
