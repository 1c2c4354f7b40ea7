#include "web/web_client.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

namespace marvok::web {

namespace {

constexpr int kCounterPeriod = 8;
constexpr int kGreenCalls = 4;
constexpr int kStatusOk = 200;
constexpr std::string_view kRecordContentType = "multipart/form-data";
constexpr std::chrono::seconds kUploadAnswerWait{30};

void print_line(const char* format, unsigned long code) {
  std::printf(format, code);
  std::fflush(stdout);
}

}  // namespace

WebClient::WebClient(platform::WebServiceAddress service, LedCell& https_light, platform::HttpsTimeouts timeouts)
    : service_(std::move(service)), timeouts_(timeouts), https_light_(https_light) {}

void WebClient::advance_request_counter(RequestRoutine routine) {
  // Counted under the fetch lock or on the window thread alone; the light is
  // an atomic cell that the status panel reads.
  int& counter = request_counters_[static_cast<std::size_t>(routine)];
  set_led(https_light_, counter < kGreenCalls ? LedColor::Green : LedColor::Blue);
  counter = (counter + 1) % kCounterPeriod;
}

std::int32_t WebClient::get(std::string_view path) {
  std::optional<platform::HttpsSession> session = open_session();
  if (!session) return kNoSession;

  response_.begin();
  last_status_ = 0;
  bool status_ok = false;
  const platform::HttpsResult answer = session->get(path, [&](int status, std::span<const std::uint8_t> chunk) {
    status_ok = status == kStatusOk;
    // A status other than 200 means nothing was received: its body is not read.
    return status_ok && response_.append(chunk);
  });
  if (answer.stage != platform::HttpsStage::Answered) return kRequestFailed;
  last_status_ = answer.status.value_or(0);
  if (answer.status != kStatusOk) return 0;
  return static_cast<std::int32_t>(response_.finish());
}

LockedResponse WebClient::download_web_file(WebFolder folder, int number, FileKind kind) {
  LockedResponse response{lock_fetch(), 0, &response_};
  advance_request_counter(RequestRoutine::DownloadFile);
  const std::string path = build_request_path(folder, number, kind);
  response.result = path.empty() ? kRequestFailed : get(path);
  return response;
}

std::optional<platform::HttpsSession> WebClient::open_session() const {
  return platform::HttpsSession::open(service_, timeouts_);
}

std::optional<platform::HttpsSession> WebClient::open_upload_session() const {
  platform::HttpsTimeouts timeouts = timeouts_;
  timeouts.answer = std::max(timeouts.answer.value_or(timeouts.stall), kUploadAnswerWait);
  return platform::HttpsSession::open(service_, timeouts);
}

std::optional<platform::HttpsResult> WebClient::post_record(platform::HttpsSession& session, std::string_view path,
                                                            std::span<const std::uint8_t> body) {
  platform::HttpsResult answer = session.post(path, body, kRecordContentType);
  switch (answer.stage) {
    case platform::HttpsStage::NotOpened: print_line("Erreur WinHttpOpenRequest: %lu\n", answer.error_code); break;
    case platform::HttpsStage::NotSent: print_line("Erreur WinHttpSendRequest: %lu\n", answer.error_code); break;
    case platform::HttpsStage::NoAnswer: print_line("Erreur WinHttpReceiveResponse: %lu\n", answer.error_code); break;
    case platform::HttpsStage::Answered: return answer;
  }
  return std::nullopt;
}

std::int32_t WebClient::query_status_code(const platform::HttpsResult& answer) {
  if (!answer.status) {
    print_line("Erreur WinHttpQueryHeaders: %lu\n", answer.error_code);
    return -1;
  }
  return *answer.status;
}

}  // namespace marvok::web
