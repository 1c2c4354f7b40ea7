#pragma once

#include <memory>
#include <string>

#include "accessory_icons.h"
#include "command_line.h"
#include "connections_per_address.h"
#include "enrolment_limit.h"
#include "large_body_slots.h"

struct MHD_Daemon;

namespace marvok::web_server {

class MemberStore;
class RequestLog;

// The HTTPS service: a few event-loop threads, each watching its share of
// the connections, so a connection that sends or reads slowly holds a
// descriptor and a little memory, never a thread. Connections are closed
// after a while without progress, however long a steady one lasts.
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
  // Stops answering and returns when the threads are done.
  void stop();

  // What a request being read keeps between the server's calls; defined
  // with the calls.
  struct RequestInProgress;

 private:
  friend struct RequestHandling;

  MemberStore& store_;
  RequestLog& log_;
  AccessoryIcons icons_;
  std::unique_ptr<EnrolmentLimit> enrolments_;
  // Outlives the daemon, which reports closed connections until it stops.
  std::unique_ptr<ConnectionsPerAddress> connections_per_address_;
  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
  // Bodies of more than a few kilobytes being received, each up to 10 MB.
  LargeBodySlots large_bodies_;
};

}  // namespace marvok::web_server
