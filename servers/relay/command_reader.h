#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace marvok::relay_server {

// Gathers operator command lines from a descriptor the event loop found
// readable, without ever waiting on it. Lines longer than the buffer are
// dropped whole.
class CommandReader {
 public:
  explicit CommandReader(int fd) : fd_(fd) {}

  // -1 once the input has ended or failed; the descriptor itself stays open.
  int descriptor() const { return fd_; }
  // One read of what is waiting.
  void read_available();
  // The next complete line without its newline; valid until the next call.
  std::optional<std::string_view> next_line();

 private:
  static constexpr std::size_t kLongestLine = 256;

  int fd_;
  std::array<char, kLongestLine> buffer_{};
  std::size_t used_ = 0;
  std::size_t consumed_ = 0;    // bytes of buffer_ already handed out as lines
  bool skipping_line_ = false;  // inside a line that did not fit
};

}  // namespace marvok::relay_server
