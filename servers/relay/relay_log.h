#pragma once

#include <array>
#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace marvok::relay_server {

// What a log line is about. A flood of datagrams from many source ports turns
// into a flood of joins and departures; lines of one kind beyond a budget are
// left out and counted instead.
enum class LogEvent : std::uint8_t {
  Join,
  ChannelMove,
  Departure,
  MemberNumberChange,
  Notice,
  UnsentNotice,
  NotAdmitted
};
inline constexpr std::size_t kLogEventKinds = 7;

struct LogLimit {
  std::size_t lines_per_interval = 20;
  std::chrono::steady_clock::duration interval = std::chrono::seconds(10);
};

using LogClock = std::function<std::chrono::steady_clock::time_point()>;

// One timestamped line per event worth an operator's attention. Never used
// per speech or presence datagram. Starts, stops, errors, operator commands
// and summaries always get their line; the first lines of each LogEvent kind
// in an interval do too, and the rest of that interval ends in one line that
// says how many were left out.
class RelayLog {
 public:
  explicit RelayLog(std::FILE* out, LogLimit limit = {}, LogClock clock = std::chrono::steady_clock::now);

  void write(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void write(LogEvent event, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Says how many lines were left out for each kind whose interval is over,
  // so the count shows even when that kind falls silent. Call it now and then.
  void flush_left_out();

 private:
  struct Budget {
    bool open = false;
    std::chrono::steady_clock::time_point since{};
    std::size_t written = 0;
    std::uint64_t left_out = 0;
  };

  void close_if_over(LogEvent event, std::chrono::steady_clock::time_point now);
  void emit(const char* format, va_list arguments);
  void emit_line(const char* format, ...) __attribute__((format(printf, 2, 3)));

  std::FILE* out_;
  LogLimit limit_;
  LogClock clock_;
  std::array<Budget, kLogEventKinds> budgets_{};
};

}  // namespace marvok::relay_server
