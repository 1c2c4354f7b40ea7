#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace marvok::platform {

// Where the web service listens and what vouches for its certificate.
struct WebServiceAddress {
  std::string host;
  std::uint16_t port = 443;
  // A PEM bundle of a private deployment's authorities; empty trusts the
  // system's store alone. On Linux they replace the system's store. On
  // Windows they are trusted by this program only, beside the system's roots,
  // and never added to a store of the system; a relative path is taken from
  // the executable's folder, where the installer puts the file. A file that
  // cannot be read or holds no certificate fails every request.
  std::string ca_file;
};

// How long a request may wait. Requests run on the window thread, so a
// service that cannot be reached, or accepts and then says nothing, must give
// the window back within seconds; a transfer that keeps moving, however slowly,
// is left to finish.
struct HttpsTimeouts {
  // Reaching the service, TLS handshake included (name look-up too).
  std::chrono::milliseconds connect{2000};
  // Longest silence once connected: no byte sent or received for this long ends the request.
  std::chrono::seconds stall{3};
  // Longest wait for the answer once the whole request has gone out, when
  // it differs from the stall limit: a service may take a while over a large
  // upload before it says anything.
  std::optional<std::chrono::seconds> answer;
};

// How far a request went.
enum class HttpsStage {
  // The request could not even be set up (an address that is not a URL).
  NotOpened,
  // Connecting, the TLS handshake (a certificate that does not verify
  // included) or sending failed: the service has not had the whole request.
  NotSent,
  // The request went out and no answer came back.
  NoAnswer,
  // A status line came back; the body may still have been cut short.
  Answered,
};

struct HttpsResult {
  HttpsStage stage = HttpsStage::NotOpened;
  // The answer's status code, when a status line came.
  std::optional<int> status;
  // The transport's own error code when the request failed, for the logs.
  unsigned long error_code = 0;
};

// Receives the body of an answer chunk by chunk, once its status is known.
// Returning false stops reading: the rest of the body is not read.
using BodySink = std::function<bool(int status, std::span<const std::uint8_t> chunk)>;

// One HTTPS session with the web service, verified against the address's
// authorities (never without verification). Each request opens and closes
// its own connection, as the service expects; nothing is kept between them.
// Not for use by two threads at once.
class HttpsSession {
 public:
  // Nothing when the transport library cannot give a session.
  static std::optional<HttpsSession> open(const WebServiceAddress& service, HttpsTimeouts timeouts = {});

  HttpsSession(HttpsSession&&) noexcept;
  HttpsSession& operator=(HttpsSession&&) noexcept;
  ~HttpsSession();

  // GET of a path with its query ("/users/7/client.xml"). Characters a URL
  // may not carry (spaces, controls, bytes above 127) go out percent-escaped.
  HttpsResult get(std::string_view path, const BodySink& body);

  // POST of a binary body with the given content type; the answer's body is
  // not kept.
  HttpsResult post(std::string_view path, std::span<const std::uint8_t> body, std::string_view content_type);

 private:
  struct Handle;
  explicit HttpsSession(std::unique_ptr<Handle> handle);

  std::unique_ptr<Handle> handle_;
};

// A request path with every byte a URL may not carry written as %XX; the
// rest, '%' included, is left as it is.
std::string escape_request_path(std::string_view path);

}  // namespace marvok::platform
