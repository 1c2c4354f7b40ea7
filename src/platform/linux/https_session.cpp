#include "platform/https_session.h"

#include <curl/curl.h>

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <utility>

namespace marvok::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct EasyCleanup {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlEasy = std::unique_ptr<CURL, EasyCleanup>;

struct HeaderListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListCleanup>;

constexpr const char* kUserAgent = "Marvok/1.0";
constexpr long kMaxRedirects = 3;

// libcurl's global state must be set up once, before the first handle, and
// its set-up is not itself safe to race.
bool transport_ready() {
  static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
  return initialised == CURLE_OK;
}

// The first option that could not be set, or CURLE_OK. A braced list is
// evaluated in order, so every option is tried.
CURLcode first_failure(std::initializer_list<CURLcode> results) {
  const auto failed = std::find_if(results.begin(), results.end(), [](CURLcode code) { return code != CURLE_OK; });
  return failed == results.end() ? CURLE_OK : *failed;
}

// What one request tracks while curl runs it.
struct Transfer {
  CURL* curl;
  Clock::duration stall_limit;
  Clock::duration answer_limit;
  // Bytes moved either way, answer headers included, and when that last grew.
  curl_off_t moved = 0;
  curl_off_t header_bytes = 0;
  Clock::time_point last_move = Clock::now();
  bool stalled = false;
};

// Ends a transfer once nothing has moved for the stall limit. curl's own
// low-speed check averages over the last five seconds, so after a burst it
// would notice a silence up to five seconds late. curl calls this at least
// once a second.
int watch_for_stall(void* context, curl_off_t, curl_off_t received, curl_off_t to_send, curl_off_t sent) {
  auto& transfer = *static_cast<Transfer*>(context);
  const auto now = Clock::now();
  const curl_off_t moved = received + sent + transfer.header_bytes;
  // Until the TLS handshake is done, the connect time-out is the limit.
  curl_off_t connected_us = 0;
  curl_easy_getinfo(transfer.curl, CURLINFO_APPCONNECT_TIME_T, &connected_us);
  if (connected_us == 0 || moved != transfer.moved) {
    transfer.moved = moved;
    transfer.last_move = now;
    return 0;
  }
  const bool awaiting_answer = sent >= to_send && received == 0 && transfer.header_bytes == 0;
  transfer.stalled = now - transfer.last_move >= (awaiting_answer ? transfer.answer_limit : transfer.stall_limit);
  return transfer.stalled ? 1 : 0;
}

std::size_t count_header(char*, std::size_t, std::size_t size, void* context) {
  static_cast<Transfer*>(context)->header_bytes += static_cast<curl_off_t>(size);
  return size;
}

CURLcode set_common_options(Transfer& transfer, const std::string& url, const WebServiceAddress& service,
                            HttpsTimeouts timeouts) {
  CURL* curl = transfer.curl;
  // curl reads 0 as "no limit", which would let a dead service hold the window.
  const long connect_ms = std::max<long>(1, static_cast<long>(timeouts.connect.count()));
  const CURLcode result = first_failure({
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str()),
      curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https"),
      curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https"),
      curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L),
      curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects),
      curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent),
      // How far a failed request went is read from HTTP/1.1's byte counts;
      // the service speaks nothing newer anyway.
      curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)),
      curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L),
      curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L),
      // Requests run on any thread: no signals for time-outs.
      curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L),
      // No total limit: a large upload that keeps moving must finish.
      curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connect_ms),
      curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L),
      curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &watch_for_stall),
      curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer),
      curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &count_header),
      curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer),
      // Every request has a connection and a TLS session of its own.
      curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L),
      curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L),
      curl_easy_setopt(curl, CURLOPT_SSL_SESSIONID_CACHE, 0L),
  });
  if (result != CURLE_OK || service.ca_file.empty()) return result;
  return curl_easy_setopt(curl, CURLOPT_CAINFO, service.ca_file.c_str());
}

long response_code(CURL* curl) {
  long status = 0;
  if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return 0;
  return status;
}

// Whether the service has had the whole request: its header went out and all
// of the body after it.
bool request_sent(CURL* curl, std::size_t body_size) {
  long header_bytes = 0;
  curl_off_t body_bytes = 0;
  if (curl_easy_getinfo(curl, CURLINFO_REQUEST_SIZE, &header_bytes) != CURLE_OK) return false;
  if (curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &body_bytes) != CURLE_OK) return false;
  return header_bytes > 0 && body_bytes >= static_cast<curl_off_t>(body_size);
}

HttpsResult not_opened(CURLcode code) { return HttpsResult{HttpsStage::NotOpened, std::nullopt, code}; }

HttpsResult outcome(const Transfer& transfer, CURLcode result, std::size_t body_size) {
  HttpsResult outcome;
  // The logs read a stall as what it is rather than as the watch's abort.
  outcome.error_code = transfer.stalled ? CURLE_OPERATION_TIMEDOUT : result;
  if (const long status = response_code(transfer.curl); status != 0) {
    outcome.stage = HttpsStage::Answered;
    outcome.status = static_cast<int>(status);
  } else if (result == CURLE_URL_MALFORMAT || result == CURLE_UNSUPPORTED_PROTOCOL) {
    outcome.stage = HttpsStage::NotOpened;
  } else if (!request_sent(transfer.curl, body_size)) {
    outcome.stage = HttpsStage::NotSent;
  } else {
    outcome.stage = HttpsStage::NoAnswer;
  }
  return outcome;
}

struct BodyDelivery {
  CURL* curl;
  const BodySink& sink;
  std::exception_ptr failure;
};

// A count other than `size` tells curl to end the transfer at once.
std::size_t deliver_body(char* data, std::size_t, std::size_t size, void* context) {
  auto& delivery = *static_cast<BodyDelivery*>(context);
  if (size == 0 || !delivery.sink) return size;
  const std::span chunk(reinterpret_cast<const std::uint8_t*>(data), size);
  try {
    return delivery.sink(static_cast<int>(response_code(delivery.curl)), chunk) ? size : 0;
  } catch (...) {
    // Exceptions must not cross curl's C frames; rethrown once it returns.
    delivery.failure = std::current_exception();
    return 0;
  }
}

std::size_t discard_body(char*, std::size_t, std::size_t size, void*) { return size; }

// A header value goes out as given: a line break in it would add header lines.
bool valid_header_value(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

struct HttpsSession::Handle {
  CurlEasy curl;
  WebServiceAddress service;
  HttpsTimeouts timeouts;

  // A fresh transfer on the session's handle, with what every request sets.
  CURLcode start(Transfer& transfer, std::string_view path) const {
    curl_easy_reset(curl.get());
    const std::string url = "https://" + service.host + ":" + std::to_string(service.port) + escape_request_path(path);
    return set_common_options(transfer, url, service, timeouts);
  }
  Transfer transfer() const { return Transfer{curl.get(), timeouts.stall, timeouts.answer.value_or(timeouts.stall)}; }
};

std::optional<HttpsSession> HttpsSession::open(const WebServiceAddress& service, HttpsTimeouts timeouts) {
  if (!transport_ready()) return std::nullopt;
  CurlEasy curl(curl_easy_init());
  if (!curl) return std::nullopt;
  return HttpsSession(std::make_unique<Handle>(Handle{std::move(curl), service, timeouts}));
}

HttpsSession::HttpsSession(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
HttpsSession::HttpsSession(HttpsSession&&) noexcept = default;
HttpsSession& HttpsSession::operator=(HttpsSession&&) noexcept = default;
HttpsSession::~HttpsSession() = default;

HttpsResult HttpsSession::get(std::string_view path, const BodySink& body) {
  if (!handle_) return not_opened(CURLE_FAILED_INIT);
  Transfer transfer = handle_->transfer();
  BodyDelivery delivery{transfer.curl, body, nullptr};
  const CURLcode setup = first_failure({
      handle_->start(transfer, path),
      curl_easy_setopt(transfer.curl, CURLOPT_HTTPGET, 1L),
      curl_easy_setopt(transfer.curl, CURLOPT_WRITEFUNCTION, &deliver_body),
      curl_easy_setopt(transfer.curl, CURLOPT_WRITEDATA, &delivery),
  });
  if (setup != CURLE_OK) return not_opened(setup);
  const CURLcode result = curl_easy_perform(transfer.curl);
  if (delivery.failure) std::rethrow_exception(delivery.failure);
  return outcome(transfer, result, 0);
}

HttpsResult HttpsSession::post(std::string_view path, std::span<const std::uint8_t> body,
                               std::string_view content_type) {
  if (!handle_) return not_opened(CURLE_FAILED_INIT);
  if (!valid_header_value(content_type)) return not_opened(CURLE_BAD_FUNCTION_ARGUMENT);
  HeaderList headers(curl_slist_append(nullptr, ("Content-Type: " + std::string(content_type)).c_str()));
  // Waiting for "100 Continue" before a large body costs up to a second with
  // servers that never send it.
  if (headers) headers.reset(curl_slist_append(headers.release(), "Expect:"));
  if (!headers) return not_opened(CURLE_OUT_OF_MEMORY);

  Transfer transfer = handle_->transfer();
  // Without data curl would read the body from standard input.
  const void* data = body.empty() ? static_cast<const void*>("") : body.data();
  const CURLcode setup = first_failure({
      handle_->start(transfer, path),
      curl_easy_setopt(transfer.curl, CURLOPT_POST, 1L),
      curl_easy_setopt(transfer.curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())),
      curl_easy_setopt(transfer.curl, CURLOPT_POSTFIELDS, data),
      curl_easy_setopt(transfer.curl, CURLOPT_HTTPHEADER, headers.get()),
      curl_easy_setopt(transfer.curl, CURLOPT_WRITEFUNCTION, &discard_body),
  });
  if (setup != CURLE_OK) return not_opened(setup);
  return outcome(transfer, curl_easy_perform(transfer.curl), body.size());
}

}  // namespace marvok::platform
