#include "web_server.h"

#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "request_log.h"
#include "web_routes.h"
#include "wire_records.h"

namespace marvok::web_server {

namespace {

// The client opens a connection per request; this only serves other clients.
constexpr std::size_t kRequestsPerConnection = 100;

}  // namespace

void prepare_web_server(httplib::Server& server, MemberStore& store, RequestLog& log, const AccessoryIcons& icons) {
  // The upload record is the largest body a client sends; longer ones are
  // refused with 413 before they are stored anywhere.
  server.set_payload_max_length(kUploadRecordBytes);
  // A client that waits for the go-ahead before a body too long to accept
  // learns at once, rather than after sending it all.
  server.set_expect_100_continue_handler([](const httplib::Request& request, httplib::Response& response) {
    const auto declared = request.get_header_value<std::uint64_t>("Content-Length");
    response.status = declared > kUploadRecordBytes ? 413 : 100;
    return response.status;
  });
  // Without the library's SO_REUSEPORT: a second service started on the same
  // port must fail, not share the clients with the first one.
  server.set_socket_options([](int socket) {
    const int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.set_keep_alive_max_count(kRequestsPerConnection);
  // Answers are small: sent at once rather than held for the client's ack.
  server.set_tcp_nodelay(true);
  server.set_logger([&log](const httplib::Request& request, const httplib::Response& response) {
    log.record(request.method, request.path, response.status, response.body.size());
  });
  server.set_exception_handler(
      [&log](const httplib::Request& request, httplib::Response& response, std::exception_ptr failure) {
        std::string reason = "unknown failure";
        try {
          std::rethrow_exception(failure);
        } catch (const std::exception& exception) {
          reason = exception.what();
        } catch (...) {
        }
        log.note("marvok-web: " + request.method + " " + request.path + " failed: " + reason);
        response.status = 500;
      });
  add_web_routes(server, store, icons);
}

WebServer::WebServer(MemberStore& store, RequestLog& log) : store_(store), log_(log), icons_(draw_accessory_icons()) {}

WebServer::~WebServer() { stop(); }

bool WebServer::start(const ServeOptions& options, std::string& error) {
  for (const std::string& file : {options.certificate, options.key}) {
    if (::access(file.c_str(), R_OK) != 0) {
      error = "cannot read " + file;
      return false;
    }
  }
  server_ = std::make_unique<httplib::SSLServer>(options.certificate.c_str(), options.key.c_str());
  if (!server_->is_valid()) {
    error = "cannot use the certificate " + options.certificate + " with the key " + options.key;
    return false;
  }
  prepare_web_server(*server_, store_, log_, icons_);

  if (options.port == 0) {
    port_ = server_->bind_to_any_port(options.address);
  } else {
    port_ = server_->bind_to_port(options.address, options.port) ? options.port : -1;
  }
  if (port_ <= 0) {
    error = "cannot listen on " + options.address + " port " + std::to_string(options.port) +
            " (taken, or not an address of this machine)";
    return false;
  }
  listening_ended_ = false;
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listening_ended_ = true;
  });
  // The library ignores a stop that comes before its loop runs.
  while (!server_->is_running() && !listening_ended_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (listening_ended_) {
    thread_.join();
    error = "the server could not accept connections";
    return false;
  }
  return true;
}

void WebServer::stop() {
  if (!thread_.joinable()) return;
  server_->stop();
  thread_.join();
  log_.flush();
}

}  // namespace marvok::web_server
