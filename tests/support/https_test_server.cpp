#include "support/https_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace marvok::testing {

namespace {

// A folder of certificates made by the project's own script, removed with the
// test process.
class CertificateFolder {
 public:
  CertificateFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "marvok-certificates-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp");
    folder_ = pattern;
    const std::string script = MARVOK_CERTIFICATE_SCRIPT;
    const std::string folder = folder_.string();
    char* arguments[] = {const_cast<char*>("bash"), const_cast<char*>(script.c_str()),
                         const_cast<char*>(folder.c_str()), nullptr};
    pid_t child = 0;
    int status = 0;
    if (::posix_spawnp(&child, "bash", nullptr, nullptr, arguments, environ) != 0 ||
        ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      throw std::runtime_error("could not make test certificates with " + script);
    }
    certificates_ = {folder_ / "ca.pem", folder_ / "server.pem", folder_ / "server.key"};
  }
  CertificateFolder(const CertificateFolder&) = delete;
  CertificateFolder& operator=(const CertificateFolder&) = delete;
  ~CertificateFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  const TestCertificates& certificates() const { return certificates_; }

 private:
  std::filesystem::path folder_;
  TestCertificates certificates_;
};

// A TCP socket bound to 127.0.0.1 and `port`, or a port the system chooses
// when it is 0; `port` is then the port bound.
int bound_loopback_socket(std::uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "socket");
  // The port may have served a test a moment ago.
  const int reuse = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    ::close(fd);
    throw std::system_error(error, std::generic_category(), "bind");
  }
  port = ntohs(address.sin_port);
  return fd;
}

// cpp-httplib answers 400 to a "multipart/form-data" body without a boundary
// before any handler runs, and the client posts its binary records with just
// that type. The type is set aside while the server reads the body (the
// request is the server's own, writable object) and put back for the handlers.
constexpr const char* kSetAsideType = "X-Test-Content-Type";

httplib::Server::HandlerResponse set_aside_multipart_type(const httplib::Request& request, httplib::Response&) {
  const std::string type = request.get_header_value("Content-Type");
  if (type.rfind("multipart/form-data", 0) == 0 && type.find("boundary=") == std::string::npos) {
    auto& writable = const_cast<httplib::Request&>(request);
    writable.headers.erase("Content-Type");
    writable.set_header("Content-Type", "application/octet-stream");
    writable.set_header(kSetAsideType, type);
  }
  return httplib::Server::HandlerResponse::Unhandled;
}

httplib::Request as_sent(const httplib::Request& request) {
  httplib::Request copy = request;
  if (copy.has_header(kSetAsideType)) {
    copy.headers.erase("Content-Type");
    copy.set_header("Content-Type", copy.get_header_value(kSetAsideType));
    copy.headers.erase(kSetAsideType);
  }
  return copy;
}

}  // namespace

const TestCertificates& trusted_certificates() {
  static const CertificateFolder folder;
  return folder.certificates();
}

const TestCertificates& untrusted_certificates() {
  static const CertificateFolder folder;
  return folder.certificates();
}

TestHttpsServer::TestHttpsServer(const TestCertificates& certificates, std::uint16_t port)
    : server_(certificates.certificate_file.c_str(), certificates.key_file.c_str()) {
  // The server writes to connections that clients drop on purpose.
  ::signal(SIGPIPE, SIG_IGN);
  if (!server_.is_valid()) throw std::runtime_error("the test HTTPS server could not load its certificate");
  const auto dispatch = [this](const httplib::Request& request, httplib::Response& response) {
    this->dispatch(request, response);
  };
  // Without it an answer's last segment waits for the client's delayed acknowledgement (40 ms).
  server_.set_tcp_nodelay(true);
  server_.set_pre_routing_handler(set_aside_multipart_type);
  server_.Get(".*", dispatch);
  server_.Post(".*", dispatch);
  const int bound = port == 0 ? server_.bind_to_any_port("127.0.0.1")
                              : (server_.bind_to_port("127.0.0.1", port) ? static_cast<int>(port) : -1);
  if (bound <= 0) throw std::runtime_error("the test HTTPS server could not bind");
  port_ = static_cast<std::uint16_t>(bound);
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  // stop() does nothing until the server runs.
  while (!server_.is_running()) std::this_thread::yield();
}

TestHttpsServer::~TestHttpsServer() {
  server_.stop();
  thread_.join();
}

platform::WebServiceAddress TestHttpsServer::address() const {
  return {"127.0.0.1", port_, trusted_certificates().ca_file.string()};
}

std::optional<httplib::Request> TestHttpsServer::last_request() const {
  const std::scoped_lock lock(mutex_);
  return last_request_;
}

void TestHttpsServer::add(const std::string& method, const std::string& path, Handler handler) {
  const std::scoped_lock lock(mutex_);
  handlers_[{method, path}] = std::move(handler);
}

void TestHttpsServer::dispatch(const httplib::Request& request, httplib::Response& response) {
  Handler handler;
  const httplib::Request sent = as_sent(request);
  {
    const std::scoped_lock lock(mutex_);
    const auto found = handlers_.find({request.method, request.path});
    if (found != handlers_.end()) {
      handler = found->second;
      last_request_ = sent;
    }
  }
  if (handler) {
    handler(sent, response);
  } else {
    response.status = 404;
  }
}

SilentServer::SilentServer(std::uint16_t port) : port_(port) {
  socket_ = bound_loopback_socket(port_);
  if (::listen(socket_, 16) != 0) {
    const int error = errno;
    ::close(socket_);
    throw std::system_error(error, std::generic_category(), "listen");
  }
}

SilentServer::~SilentServer() { ::close(socket_); }

RefusingPort::RefusingPort(std::uint16_t port) : port_(port) { socket_ = bound_loopback_socket(port_); }

RefusingPort::~RefusingPort() { ::close(socket_); }

}  // namespace marvok::testing
