#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "accessory_icons.h"
#include "command_line.h"

namespace httplib {
class Server;
class SSLServer;
}  // namespace httplib

namespace marvok::web_server {

class MemberStore;
class RequestLog;

// Everything the service does with a request, set on a server that has not
// started listening: limits, logging, failures and the routes.
void prepare_web_server(httplib::Server& server, MemberStore& store, RequestLog& log, const AccessoryIcons& icons);

// The HTTPS service on its own threads: one accepts connections, a pool
// answers them, each connection one request at a time.
class WebServer {
 public:
  WebServer(MemberStore& store, RequestLog& log);
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;
  ~WebServer();

  // Loads the certificate, binds the address and starts answering. False,
  // with the reason in `error`, when any of that fails.
  bool start(const ServeOptions& options, std::string& error);
  // The port bound, useful when the options asked for any free one.
  int port() const { return port_; }
  // Finishes the requests in progress and returns when the threads are done.
  void stop();

 private:
  MemberStore& store_;
  RequestLog& log_;
  AccessoryIcons icons_;
  std::unique_ptr<httplib::SSLServer> server_;
  std::thread thread_;
  std::atomic<bool> listening_ended_{false};
  int port_ = 0;
};

}  // namespace marvok::web_server
