#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace marvok::web_server {

// One timestamped line per request: method, path, status, body bytes. A
// burst, such as a crowd of clients polling, must not flood the operator's
// terminal: past the limit in one second, lines are counted instead, and the
// count is written before the next line that gets through (or by flush()).
class RequestLog {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kDefaultLinesPerSecond = 20;

  explicit RequestLog(std::FILE* out, int lines_per_second = kDefaultLinesPerSecond);
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;
  ~RequestLog() { flush(); }

  void record(std::string_view method, std::string_view path, int status, std::size_t bytes,
              Clock::time_point now = Clock::now());
  // A request refused, said in a line; left out past the limit like the
  // request lines, since whoever is refused may ask again and again.
  void refusal(std::string_view line, Clock::time_point now = Clock::now());
  // A line of its own, for failures: never left out.
  void note(std::string_view line);
  // Writes the count of lines left out, if any are still untold.
  void flush();

 private:
  void write_limited(const std::string& line, Clock::time_point now);
  void write_left_out();

  std::mutex mutex_;
  std::FILE* out_;
  int lines_per_second_;
  Clock::time_point window_start_{};
  int lines_in_window_ = 0;
  long left_out_ = 0;
};

}  // namespace marvok::web_server
