#pragma once

#include <httplib.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "platform/https_session.h"

namespace marvok::testing {

// An authority and the certificate it signed for localhost and 127.0.0.1.
struct TestCertificates {
  std::filesystem::path ca_file;
  std::filesystem::path certificate_file;
  std::filesystem::path key_file;
};

// The authority the tests' clients trust. Made on first use, once per test
// process, in a temporary folder removed at exit.
const TestCertificates& trusted_certificates();
// A second authority, unrelated to the first: a server presenting its
// certificate must be refused.
const TestCertificates& untrusted_certificates();

// An HTTPS server on 127.0.0.1 and a port of its own (or `port`, to stand in
// for a service that was there before), serving on a thread of the test
// process until destroyed. Handlers may be added at any time; a path without
// one answers 404.
class TestHttpsServer {
 public:
  using Handler = httplib::Server::Handler;

  explicit TestHttpsServer(const TestCertificates& certificates = trusted_certificates(), std::uint16_t port = 0);
  TestHttpsServer(const TestHttpsServer&) = delete;
  TestHttpsServer& operator=(const TestHttpsServer&) = delete;
  ~TestHttpsServer();

  // Answers a GET or POST of this exact path (the query is not part of it).
  void get(const std::string& path, Handler handler) { add("GET", path, std::move(handler)); }
  void post(const std::string& path, Handler handler) { add("POST", path, std::move(handler)); }

  // The last request a handler was found for, as the server read it.
  std::optional<httplib::Request> last_request() const;

  std::uint16_t port() const { return port_; }
  // This server, as a client trusting the tests' authority reaches it.
  platform::WebServiceAddress address() const;

 private:
  void add(const std::string& method, const std::string& path, Handler handler);
  void dispatch(const httplib::Request& request, httplib::Response& response);

  httplib::SSLServer server_;
  mutable std::mutex mutex_;
  std::map<std::pair<std::string, std::string>, Handler> handlers_;
  std::optional<httplib::Request> last_request_;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

// A TCP port of 127.0.0.1 that the system accepts connections on but that
// nobody ever reads from or writes to: a service that says nothing, not even
// its half of the TLS handshake. On `port`, or one the system chooses.
class SilentServer {
 public:
  explicit SilentServer(std::uint16_t port = 0);
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  ~SilentServer();
  std::uint16_t port() const { return port_; }

 private:
  int socket_ = -1;
  std::uint16_t port_ = 0;
};

// A TCP port of 127.0.0.1 held but not listened on: connections are refused,
// and no other program can take the port while the test runs. On `port`, or
// one the system chooses.
class RefusingPort {
 public:
  explicit RefusingPort(std::uint16_t port = 0);
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  ~RefusingPort();
  std::uint16_t port() const { return port_; }

 private:
  int socket_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace marvok::testing
