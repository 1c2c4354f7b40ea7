// HTTPS requests through WinHTTP, synchronous, verified against the system's
// certificate store, and against a private deployment's authorities when the
// address names them. WinHTTP trusts the system's store alone, so for those
// its unknown-authority refusal, and nothing else, is turned off, and our own
// check of the chain and the name runs first, on a handshake of ours that
// sends no request. WinHTTP's own connection must then show that very
// certificate before the request leaves. Either way a service whose
// certificate does not verify never sees the request.
#include "platform/https_session.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/windows/server_certificate_check.h"
#include "platform/windows/server_handshake.h"

namespace marvok::platform {

namespace {

constexpr const wchar_t* kUserAgent = L"Marvok/1.0";
constexpr DWORD kMaxRedirects = 3;
// The largest piece read at once, whatever the connection says is waiting.
constexpr DWORD kLargestRead = 1 << 20;

struct InternetHandleClose {
  void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleClose>;

// WinHTTP reads 0 as "no limit", which would let a dead service hold the window.
DWORD milliseconds(std::chrono::milliseconds duration) {
  return static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(duration.count(), 1, 0x7FFFFFFF));
}

bool set_number(HINTERNET handle, DWORD option, DWORD value) {
  return WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

HttpsResult failed(HttpsStage stage, DWORD code) { return HttpsResult{stage, std::nullopt, code}; }

// A host name or address as a URL carries it; anything else is no request.
bool valid_host(std::string_view host) {
  return !host.empty() && std::ranges::all_of(host, [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_' || c == ':' || c == '[' || c == ']';
  });
}

// A header value goes out as given: a line break in it would add header lines.
bool valid_header_value(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// Byte for byte: what is widened here is ASCII once escaped.
std::wstring widened(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (const char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return wide;
}

// The certificate our check passed, which WinHTTP's connection must show too.
struct PinnedCertificate {
  PCCERT_CONTEXT expected = nullptr;
  bool asked = false;
  bool shown = false;
  bool closed = false;
};

bool same_certificate(PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
  return a->cbCertEncoded == b->cbCertEncoded &&
         std::equal(a->pbCertEncoded, a->pbCertEncoded + a->cbCertEncoded, b->pbCertEncoded);
}

// Called on the requesting thread once WinHTTP's handshake is over, before
// the request is written. Another certificate than the one checked (a
// service that changed between the two connections) closes the request,
// which stops it on Windows; Wine sends it all the same, but its answer is
// never read.
void CALLBACK on_request_status(HINTERNET request, DWORD_PTR context, DWORD status, void* /*information*/,
                                DWORD /*size*/) {
  if (status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || context == 0) return;
  auto& pin = *reinterpret_cast<PinnedCertificate*>(context);  // NOLINT(performance-no-int-to-ptr)
  pin.asked = true;
  PCCERT_CONTEXT certificate = nullptr;
  DWORD size = sizeof(PCCERT_CONTEXT);  // the option's value is the pointer itself
  if (WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &certificate, &size) && certificate != nullptr) {
    pin.shown = same_certificate(certificate, pin.expected);
    CertFreeCertificateContext(certificate);
  }
  if (!pin.shown) pin.closed = WinHttpCloseHandle(request) != FALSE;
}

struct Request {
  std::string_view verb;
  std::string_view path;
  std::span<const std::uint8_t> body;
  std::string_view content_type;
  const BodySink* sink = nullptr;
};

}  // namespace

struct HttpsSession::Handle {
  InternetHandle session;
  WebServiceAddress service;
  HttpsTimeouts timeouts;
  // A private deployment's authorities, none when the file could not be used.
  CertificateStore authorities;

  HttpsResult run(const Request& request) const;
};

HttpsResult HttpsSession::Handle::run(const Request& request) const {
  if (!valid_host(service.host) || !request.path.starts_with('/'))
    return failed(HttpsStage::NotOpened, ERROR_WINHTTP_INVALID_URL);
  if (!valid_header_value(request.content_type)) return failed(HttpsStage::NotOpened, ERROR_INVALID_PARAMETER);
  // The body goes out in one call, whose sizes are 32-bit: a larger one would be cut.
  if (request.body.size() > MAXDWORD) return failed(HttpsStage::NotOpened, ERROR_INVALID_PARAMETER);

  const InternetHandle connection(WinHttpConnect(session.get(), widened(service.host).c_str(), service.port, 0));
  if (!connection) return failed(HttpsStage::NotOpened, GetLastError());
  // Escaped by us, so that what goes out does not hang on the transport's own rules.
  const std::wstring path = widened(escape_request_path(request.path));
  InternetHandle handle(
      WinHttpOpenRequest(connection.get(), widened(request.verb).c_str(), path.c_str(), nullptr, WINHTTP_NO_REFERER,
                         WINHTTP_DEFAULT_ACCEPT_TYPES,
                         WINHTTP_FLAG_SECURE | WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY));
  if (!handle) return failed(HttpsStage::NotOpened, GetLastError());

  // Every request has a connection of its own, and nothing of an earlier one
  // (a cookie) goes out with it.
  const DWORD connect_ms = milliseconds(timeouts.connect);
  const DWORD stall_ms = milliseconds(timeouts.stall);
  const DWORD answer_ms = milliseconds(timeouts.answer.value_or(timeouts.stall));
  // Until the request is out, the handshake's reads are bounded by the
  // connect limit. The answer's limit is set before sending too: Wine takes
  // it when the connection opens, and bounds the handshake by it as well.
  if (!set_number(handle.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_KEEP_ALIVE | WINHTTP_DISABLE_COOKIES) ||
      !set_number(handle.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, answer_ms) ||
      !set_number(handle.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, connect_ms))
    return failed(HttpsStage::NotOpened, GetLastError());
  set_number(handle.get(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, kMaxRedirects);

  PinnedCertificate pin;
  Certificate checked;
  if (!service.ca_file.empty()) {
    // An authority file that cannot be used trusts nobody.
    if (!authorities) return failed(HttpsStage::NotSent, ERROR_WINHTTP_SECURE_INVALID_CA);
    Handshake ours = shake_hands(service.host, service.port, timeouts.connect);
    if (!ours.certificate) return failed(HttpsStage::NotSent, ours.error);
    if (const DWORD error = check_server_certificate(ours.certificate.get(), authorities.get(), widened(service.host));
        error != ERROR_SUCCESS)
      return failed(HttpsStage::NotSent, error);
    checked = std::move(ours.certificate);
    pin.expected = checked.get();
    // The unknown authority is ours to judge, and has been; a redirect would
    // reach a service that has not.
    if (!set_number(handle.get(), WINHTTP_OPTION_SECURITY_FLAGS, SECURITY_FLAG_IGNORE_UNKNOWN_CA) ||
        !set_number(handle.get(), WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER) ||
        WinHttpSetStatusCallback(handle.get(), on_request_status, WINHTTP_CALLBACK_FLAG_SEND_REQUEST, 0) ==
            WINHTTP_INVALID_STATUS_CALLBACK)
      return failed(HttpsStage::NotOpened, GetLastError());
  }

  std::wstring headers;
  if (!request.content_type.empty()) headers = L"Content-Type: " + widened(request.content_type) + L"\r\n";
  // The body is the optional data, sent with the headers in one call.
  void* data =
      request.body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<void*>(static_cast<const void*>(request.body.data()));
  const auto size = static_cast<DWORD>(request.body.size());
  const BOOL sent = WinHttpSendRequest(handle.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                       headers.empty() ? 0 : static_cast<DWORD>(-1), data, size, size,
                                       pin.expected != nullptr ? reinterpret_cast<DWORD_PTR>(&pin) : 0);
  const DWORD send_error = sent ? ERROR_SUCCESS : GetLastError();
  if (pin.closed) static_cast<void>(handle.release());
  if (pin.asked && !pin.shown) return failed(HttpsStage::NotSent, ERROR_WINHTTP_SECURE_INVALID_CA);
  if (!sent) return failed(HttpsStage::NotSent, send_error);
  // Gone out without WinHTTP showing its certificate: the answer is not to be believed.
  if (pin.expected != nullptr && !pin.shown) return failed(HttpsStage::NoAnswer, ERROR_WINHTTP_SECURE_INVALID_CA);

  // The body's reads are judged by the stall limit.
  set_number(handle.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, stall_ms);
  if (!WinHttpReceiveResponse(handle.get(), nullptr)) return failed(HttpsStage::NoAnswer, GetLastError());

  HttpsResult result{HttpsStage::Answered, std::nullopt, 0};
  DWORD status = 0;
  DWORD status_size = sizeof status;
  if (WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size, WINHTTP_NO_HEADER_INDEX)) {
    result.status = static_cast<int>(status);
  } else {
    result.error_code = GetLastError();
  }
  if (request.sink == nullptr || !*request.sink) return result;

  std::vector<std::uint8_t> chunk;
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(handle.get(), &available)) {
      result.error_code = GetLastError();
      break;
    }
    if (available == 0) break;
    chunk.resize(std::min(available, kLargestRead));
    DWORD read = 0;
    if (!WinHttpReadData(handle.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read)) {
      result.error_code = GetLastError();
      break;
    }
    if (read == 0) break;
    if (!(*request.sink)(result.status.value_or(0), std::span(chunk).first(read))) break;
  }
  return result;
}

std::optional<HttpsSession> HttpsSession::open(const WebServiceAddress& service, HttpsTimeouts timeouts) {
  InternetHandle session(
      WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return std::nullopt;
  const int connect_ms = static_cast<int>(milliseconds(timeouts.connect));
  const int stall_ms = static_cast<int>(milliseconds(timeouts.stall));
  // Name look-up and connecting share the connect limit; sending is judged by the stall limit.
  if (!WinHttpSetTimeouts(session.get(), connect_ms, connect_ms, stall_ms, stall_ms)) return std::nullopt;
  return HttpsSession(std::make_unique<Handle>(Handle{
      std::move(session), service, timeouts, service.ca_file.empty() ? nullptr : read_authorities(service.ca_file)}));
}

HttpsSession::HttpsSession(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
HttpsSession::HttpsSession(HttpsSession&&) noexcept = default;
HttpsSession& HttpsSession::operator=(HttpsSession&&) noexcept = default;
HttpsSession::~HttpsSession() = default;

HttpsResult HttpsSession::get(std::string_view path, const BodySink& body) {
  if (!handle_) return failed(HttpsStage::NotOpened, ERROR_INVALID_HANDLE);
  return handle_->run(Request{"GET", path, {}, {}, &body});
}

HttpsResult HttpsSession::post(std::string_view path, std::span<const std::uint8_t> body,
                               std::string_view content_type) {
  if (!handle_) return failed(HttpsStage::NotOpened, ERROR_INVALID_HANDLE);
  // The answer's body is not kept: closing the request drops it with the connection.
  return handle_->run(Request{"POST", path, body, content_type, nullptr});
}

}  // namespace marvok::platform
