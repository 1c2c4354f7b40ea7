#include "web_server.h"

#include <microhttpd.h>
#include <netdb.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "database_places.h"
#include "listening_socket.h"
#include "member_store.h"
#include "request_log.h"
#include "web_routes.h"

namespace marvok::web_server {

namespace {

// Event-loop threads: a request's own work (the database, a picture to
// check) holds only the connections of its thread.
constexpr unsigned kEventThreads = 4;
// Bodies longer than this count as large; at most so many are received at
// once, and so many from one address.
constexpr std::size_t kLargeBody = 64 * 1024;
constexpr int kMostLargeBodies = 32;
constexpr int kMostLargeBodiesFromOneAddress = 4;
// A body too long is read and dropped up to this many times its limit; past
// that the connection is closed.
constexpr std::uint64_t kMostDropped = 2;
// Descriptors asked of the system, and those kept for the database and the log.
constexpr rlim_t kWantedDescriptors = 65536;
constexpr rlim_t kDescriptorsKeptAside = 64;

constexpr int kServerBusy = 503;
constexpr int kFailed = 500;

// The process's descriptor limit, raised as far as the system lets it.
rlim_t raise_descriptor_limit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  const rlim_t wanted = std::min(limit.rlim_max, kWantedDescriptors);
  if (limit.rlim_cur < wanted) {
    const rlimit raised{wanted, limit.rlim_max};
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) return wanted;
  }
  return limit.rlim_cur;
}

std::optional<std::string> read_pem_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return file.bad() ? std::nullopt : std::optional(text.str());
}

std::optional<std::uint64_t> declared_length(MHD_Connection* connection) {
  const char* text = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
  if (!text) return std::nullopt;
  std::uint64_t length = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, length);
  if (error != std::errc{} || stop != end) return std::nullopt;
  return length;
}

bool expects_go_ahead(MHD_Connection* connection) {
  const char* expect = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_EXPECT);
  return expect && ::strcasecmp(expect, "100-continue") == 0;
}

std::string remote_address(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (!info || !info->client_addr) return {};
  const socklen_t length = info->client_addr->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  char host[NI_MAXHOST] = {};
  if (::getnameinfo(info->client_addr, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0) return {};
  return host;
}

MHD_Result add_parameter(void* query, MHD_ValueKind, const char* key, const char* value) {
  static_cast<std::vector<std::pair<std::string, std::string>>*>(query)->emplace_back(key, value ? value : "");
  return MHD_YES;
}

MHD_Result admit_connection(void* counts, const sockaddr* address, socklen_t) {
  try {
    return static_cast<const ConnectionsPerAddress*>(counts)->admits(address) ? MHD_YES : MHD_NO;
  } catch (...) {
    return MHD_NO;
  }
}

// The library reports every connection it has taken in as started, and as
// closed exactly once, whatever ends it (a failed handshake, a time-out, the
// daemon stopping); one it drops before (the global limit) is reported
// neither way.
void count_connection(void* counts, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode event) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (!info) return;
  auto& connections = *static_cast<ConnectionsPerAddress*>(counts);
  try {
    if (event == MHD_CONNECTION_NOTIFY_STARTED) {
      connections.opened(info->client_addr);
    } else {
      connections.closed(info->client_addr);
    }
  } catch (...) {
    // Out of memory: its source is counted one short at worst, never locked out.
  }
}

}  // namespace

struct WebServer::RequestInProgress {
  WebRequest request;
  BodyRule rule;
  bool large = false;  // holds one of the large bodies' slots
  int refusal = 0;     // the status that answers once the body is dropped
  std::uint64_t dropped = 0;
};

struct RequestHandling {
  using Progress = WebServer::RequestInProgress;

  // Called when a request's head has arrived, for each part of its body, and
  // once it is whole; the answer goes out from the first or the last call.
  // Nothing may escape into the library, which is C.
  static MHD_Result on_request(void* context, MHD_Connection* connection, const char* url, const char* method,
                               const char*, const char* upload_data, std::size_t* upload_data_size,
                               void** request_context) {
    try {
      WebServer& server = *static_cast<WebServer*>(context);
      auto* progress = static_cast<Progress*>(*request_context);
      if (!progress) {
        progress = new Progress;
        *request_context = progress;
        return on_head(server, connection, url, method, *progress);
      }
      if (*upload_data_size > 0) {
        const std::string_view part(upload_data, *upload_data_size);
        *upload_data_size = 0;
        return on_body_part(server, part, *progress);
      }
      if (progress->refusal != 0) return send(server, connection, *progress, WebAnswer{progress->refusal, {}, {}});
      return send(server, connection, *progress, answer(server, progress->request));
    } catch (...) {
      return MHD_NO;  // the connection is closed
    }
  }

  static MHD_Result on_head(WebServer& server, MHD_Connection* connection, const char* url, const char* method,
                            Progress& progress) {
    progress.request.method = method;
    progress.request.path = url;
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &add_parameter, &progress.request.query);
    progress.request.remote_address = remote_address(connection);
    progress.rule = body_rule(method, url);
    const std::optional<std::uint64_t> declared = declared_length(connection);
    if (!declared) return MHD_YES;
    if (*declared > progress.rule.limit) {
      progress.refusal = progress.rule.status_when_longer;
    } else if (*declared > kLargeBody) {
      if (!take_large_body(server, progress)) progress.refusal = kServerBusy;
      if (progress.large) progress.request.body.reserve(static_cast<std::size_t>(*declared));
    }
    // A client waiting for the go-ahead, or one announcing far too much, is
    // answered at once and the connection closes unread. Others are already
    // sending: their body is read and dropped, so that they get the answer
    // rather than a broken connection.
    if (progress.refusal != 0 && (expects_go_ahead(connection) || *declared > kMostDropped * progress.rule.limit))
      return send(server, connection, progress, WebAnswer{progress.refusal, {}, {}});
    return MHD_YES;
  }

  static MHD_Result on_body_part(WebServer& server, std::string_view part, Progress& progress) {
    std::string& body = progress.request.body;
    if (progress.refusal == 0 && body.size() + part.size() > progress.rule.limit)
      progress.refusal = progress.rule.status_when_longer;
    if (progress.refusal == 0 && body.size() + part.size() > kLargeBody && !take_large_body(server, progress))
      progress.refusal = kServerBusy;
    if (progress.refusal != 0) {
      std::string().swap(body);
      progress.dropped += part.size();
      // Past this, a body sent without its length is cut with no answer.
      return progress.dropped > kMostDropped * progress.rule.limit ? MHD_NO : MHD_YES;
    }
    body.append(part);
    return MHD_YES;
  }

  static WebAnswer answer(WebServer& server, const WebRequest& request) {
    try {
      return answer_request(request, Routes{server.store_, server.icons_, *server.enrolments_, server.log_});
    } catch (const DatabaseUnavailable& failure) {
      // The client asks again a little later; nothing of this request was kept.
      server.log_.note("marvok-web: " + request.method + " " + request.path + " waits: " + failure.what());
      return WebAnswer{kServerBusy, {}, {}};
    } catch (const std::exception& failure) {
      server.log_.note("marvok-web: " + request.method + " " + request.path + " failed: " + failure.what());
      return WebAnswer{kFailed, {}, {}};
    }
  }

  static void on_completed(void* context, MHD_Connection*, void** request_context, MHD_RequestTerminationCode) {
    auto* progress = static_cast<Progress*>(*request_context);
    if (!progress) return;
    if (progress->large) static_cast<WebServer*>(context)->large_bodies_.give_back(progress->request.remote_address);
    delete progress;
    *request_context = nullptr;
  }

  static bool take_large_body(WebServer& server, Progress& progress) {
    if (!progress.large) progress.large = server.large_bodies_.take(progress.request.remote_address);
    return progress.large;
  }

  static MHD_Result send(WebServer& server, MHD_Connection* connection, const Progress& progress,
                         const WebAnswer& answer) {
    MHD_Response* response = MHD_create_response_from_buffer(answer.body.size(), const_cast<char*>(answer.body.data()),
                                                             MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    if (!answer.content_type.empty())
      MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.content_type.c_str());
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    server.log_.record(progress.request.method, progress.request.path, answer.status, answer.body.size());
    return queued;
  }
};

WebServer::WebServer(MemberStore& store, RequestLog& log)
    : store_(store),
      log_(log),
      icons_(draw_accessory_icons()),
      large_bodies_(kMostLargeBodies, kMostLargeBodiesFromOneAddress) {}

WebServer::~WebServer() { stop(); }

bool WebServer::start(const ServeOptions& options, std::string& error) {
  const std::optional<std::string> certificate = read_pem_file(options.certificate);
  const std::optional<std::string> key = read_pem_file(options.key);
  if (!certificate || !key) {
    error = "cannot read " + (certificate ? options.key : options.certificate);
    return false;
  }
  enrolments_ = std::make_unique<EnrolmentLimit>(store_.pool(), options.enrolments_per_hour, options.limit_loopback);
  const rlim_t descriptors = raise_descriptor_limit();
  const int socket = open_listening_socket(options.address, options.port, error);
  if (socket < 0) return false;
  port_ = bound_port(socket);
  const auto connections = static_cast<unsigned>(
      descriptors > 2 * kDescriptorsKeptAside ? descriptors - kDescriptorsKeptAside : descriptors / 2);
  connections_per_address_ =
      std::make_unique<ConnectionsPerAddress>(options.connections_per_address, options.limit_loopback);
  ConnectionsPerAddress* const counts = connections_per_address_.get();
  // poll rather than epoll: this library's epoll loop spins without end on a
  // TLS connection whose handshake stopped half-way.
  daemon_ = MHD_start_daemon(MHD_USE_TLS | MHD_USE_POLL_INTERNAL_THREAD, 0, &admit_connection, counts,
                             &RequestHandling::on_request, this,                                 //
                             MHD_OPTION_LISTEN_SOCKET, socket,                                   //
                             MHD_OPTION_HTTPS_MEM_CERT, certificate->c_str(),                    //
                             MHD_OPTION_HTTPS_MEM_KEY, key->c_str(),                             //
                             MHD_OPTION_THREAD_POOL_SIZE, kEventThreads,                         //
                             MHD_OPTION_CONNECTION_LIMIT, connections,                           //
                             MHD_OPTION_CONNECTION_TIMEOUT, options.idle_seconds,                //
                             MHD_OPTION_NOTIFY_COMPLETED, &RequestHandling::on_completed, this,  //
                             MHD_OPTION_NOTIFY_CONNECTION, &count_connection, counts,            //
                             MHD_OPTION_END);
  if (!daemon_) {
    // The socket is not closed here: the library may have closed it already,
    // and the service does not go on without the daemon.
    error = "cannot use the certificate " + options.certificate + " with the key " + options.key;
    return false;
  }
  return true;
}

void WebServer::stop() {
  if (!daemon_) return;
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
  log_.flush();
}

}  // namespace marvok::web_server
