#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace marvok {

// A text buffer of fixed capacity shared between threads. Writers replace the
// whole text, readers take a copy; a text longer than the buffer is cut so that
// it always fits with its terminator, as a fixed character array would hold it.
template <typename Char, std::size_t Capacity>
class GuardedText {
 public:
  static constexpr std::size_t kMaxLength = Capacity - 1;

  GuardedText() = default;
  explicit GuardedText(std::basic_string_view<Char> initial) { set(initial); }

  void set(std::basic_string_view<Char> text) {
    std::lock_guard lock(mutex_);
    text_.assign(text.substr(0, kMaxLength));
  }

  std::basic_string<Char> get() const {
    std::lock_guard lock(mutex_);
    return text_;
  }

 private:
  mutable std::mutex mutex_;
  std::basic_string<Char> text_;
};

}  // namespace marvok
