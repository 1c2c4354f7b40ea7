#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

#include "platform/https_session.h"
#include "state/led_color.h"
#include "web/request_paths.h"
#include "web/response_buffer.h"

namespace marvok::web {

// What a GET gives back: the number of body bytes read into the response
// buffer (0 when the status was not 200 or the body empty), or one of these.
inline constexpr std::int32_t kNoSession = 1;
inline constexpr std::int32_t kRequestFailed = -1;

// The routines that count their requests for the HTTPS light.
enum class RequestRoutine { FetchRecord = 0, DownloadFile = 1, UploadImage = 2 };

// An answer in the response buffer, held under the fetch lock until the
// caller has decoded what it needs.
struct LockedResponse {
  std::unique_lock<std::mutex> lock;
  std::int32_t result = 0;
  const ResponseBuffer* buffer = nullptr;
};

// The client's side of the web service: the shared response buffer, the
// fetch lock that serialises its users, the request counters behind the
// HTTPS light, and the GET and POST sequences.
class WebClient {
 public:
  WebClient(platform::WebServiceAddress service, LedCell& https_light, platform::HttpsTimeouts timeouts = {});

  // Sets the HTTPS light from the routine's count (green for the first four
  // of every eight calls, blue for the others), then counts the call.
  void advance_request_counter(RequestRoutine routine);

  // Serialises every user of the response buffer.
  std::unique_lock<std::mutex> lock_fetch() { return std::unique_lock(fetch_lock_); }

  // GET into the response buffer; the caller holds the fetch lock. Returns
  // the body's length, 0 when the status is not 200, kNoSession or kRequestFailed.
  std::int32_t get(std::string_view path);

  // A picture or icon, counted and fetched under the fetch lock, which the
  // result keeps until the caller lets it go.
  LockedResponse download_web_file(WebFolder folder, int number, FileKind kind);

  // A session for a POST; nothing when none can be had.
  std::optional<platform::HttpsSession> open_session() const;
  // A session for a picture upload: the service may take a while over the
  // record's ten megabytes before it answers.
  std::optional<platform::HttpsSession> open_upload_session() const;
  // Sends a binary record. Nothing, with a line on the standard output, when
  // no answer came back.
  static std::optional<platform::HttpsResult> post_record(platform::HttpsSession& session, std::string_view path,
                                                          std::span<const std::uint8_t> body);
  // The answer's status, or -1 with a line on the standard output.
  static std::int32_t query_status_code(const platform::HttpsResult& answer);

  const ResponseBuffer& response() const { return response_; }
  // The status of the latest answer to `get`, 0 when none came; read under the fetch lock.
  int last_status() const { return last_status_; }

 private:
  platform::WebServiceAddress service_;
  platform::HttpsTimeouts timeouts_;
  LedCell& https_light_;
  std::mutex fetch_lock_;
  ResponseBuffer response_;
  int last_status_ = 0;
  std::array<int, 3> request_counters_{};
};

}  // namespace marvok::web
