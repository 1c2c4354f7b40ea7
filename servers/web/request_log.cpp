#include "request_log.h"

#include <ctime>
#include <string>

namespace marvok::web_server {

namespace {

constexpr std::size_t kLongestPathShown = 200;

std::string timestamp() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  ::localtime_r(&now.tv_sec, &local);
  char text[40];
  const std::size_t used = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(text + used, sizeof text - used, ".%03ld", now.tv_nsec / 1'000'000);
  return text;
}

// A decoded path may hold anything a client sent: keep the line one line.
std::string printable(std::string_view path) {
  std::string shown;
  for (const char c : path.substr(0, kLongestPathShown)) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
  if (path.size() > kLongestPathShown) shown += "...";
  return shown;
}

}  // namespace

RequestLog::RequestLog(std::FILE* out, int lines_per_second) : out_(out), lines_per_second_(lines_per_second) {}

void RequestLog::record(std::string_view method, std::string_view path, int status, std::size_t bytes,
                        Clock::time_point now) {
  write_limited(
      std::string(method) + " " + printable(path) + " " + std::to_string(status) + " " + std::to_string(bytes), now);
}

void RequestLog::refusal(std::string_view line, Clock::time_point now) { write_limited(printable(line), now); }

void RequestLog::write_limited(const std::string& line, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  if (out_ == nullptr) return;
  if (now - window_start_ >= std::chrono::seconds(1)) {
    window_start_ = now;
    lines_in_window_ = 0;
  }
  if (lines_in_window_ >= lines_per_second_) {
    ++left_out_;
    return;
  }
  ++lines_in_window_;
  write_left_out();
  std::fprintf(out_, "%s %s\n", timestamp().c_str(), line.c_str());
  std::fflush(out_);
}

void RequestLog::note(std::string_view line) {
  std::lock_guard lock(mutex_);
  if (out_ == nullptr) return;
  std::fprintf(out_, "%s %.*s\n", timestamp().c_str(), static_cast<int>(line.size()), line.data());
  std::fflush(out_);
}

void RequestLog::flush() {
  std::lock_guard lock(mutex_);
  if (out_ == nullptr) return;
  write_left_out();
  std::fflush(out_);
}

void RequestLog::write_left_out() {
  if (left_out_ == 0) return;
  std::fprintf(out_, "%s marvok-web: %ld request lines left out\n", timestamp().c_str(), left_out_);
  left_out_ = 0;
}

}  // namespace marvok::web_server
