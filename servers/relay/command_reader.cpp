#include "command_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace marvok::relay_server {

void CommandReader::read_available() {
  if (fd_ < 0) return;
  // Drop the lines handed out already to make room.
  std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_),
            buffer_.begin() + static_cast<std::ptrdiff_t>(used_), buffer_.begin());
  used_ -= consumed_;
  consumed_ = 0;
  if (used_ == buffer_.size()) {
    used_ = 0;
    skipping_line_ = true;
  }
  const ssize_t got = ::read(fd_, buffer_.data() + used_, buffer_.size() - used_);
  if (got > 0) {
    used_ += static_cast<std::size_t>(got);
  } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
    // The end of the input is not a reason to stop relaying: just stop reading,
    // after ending a last line that had no newline.
    if (used_ > 0 && used_ < buffer_.size()) buffer_[used_++] = '\n';
    fd_ = -1;
  }
}

std::optional<std::string_view> CommandReader::next_line() {
  while (true) {
    const auto begin = buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_);
    const auto end = buffer_.begin() + static_cast<std::ptrdiff_t>(used_);
    const auto newline = std::find(begin, end, '\n');
    if (newline == end) return std::nullopt;
    const std::string_view line(&*begin, static_cast<std::size_t>(newline - begin));
    consumed_ = static_cast<std::size_t>(newline - buffer_.begin()) + 1;
    if (!skipping_line_) return line;
    skipping_line_ = false;
  }
}

}  // namespace marvok::relay_server
