#pragma once

#include <memory>
#include <utility>

namespace marvok::ui::win32 {

// Opens and closes one window from a button: a press opens it, the next
// closes it. A window is kept (shared) by whoever may still use it once its
// toggle has moved on: a growth in progress, a click being handled.
// `Window` has handle(), closing() and close_window().
template <typename Window>
class WindowToggle {
 public:
  WindowToggle(const WindowToggle&) = delete;
  WindowToggle& operator=(const WindowToggle&) = delete;

  // The open window, or null: one asked to close counts as closed.
  Window* window() const { return window_ && !window_->closing() ? window_.get() : nullptr; }
  bool is_open() const { return window() != nullptr; }

 protected:
  WindowToggle() = default;
  ~WindowToggle() = default;

  // Closes the open window; otherwise makes one with `make` and, once it
  // counts as open, shows it with `show`. 0 only when the system could not
  // make the window: it counts as closed, so the next press tries again.
  template <typename Make, typename Show>
  int toggle_window(Make make, Show show) {
    if (Window* open = window()) {
      open->close_window();
      return 1;
    }
    std::shared_ptr<Window> made = make();
    if (!made || made->handle() == nullptr) return 0;
    window_ = made;
    show(made);
    return 1;
  }

 private:
  std::shared_ptr<Window> window_;
};

}  // namespace marvok::ui::win32
