#pragma once

#include <QPointer>
#include <QWindow>
#include <utility>
#include <variant>

namespace marvok::ui {

// Opens and closes one tool window from a button: a press opens it, the next
// closes it, and the window goes with the toggle. `Kept` is what outlasts
// each window and what the windows refer to: the window goes before it.
template <typename Window, typename Kept = std::monostate>
class WindowToggle {
 public:
  ~WindowToggle() { delete window_.data(); }
  WindowToggle(const WindowToggle&) = delete;
  WindowToggle& operator=(const WindowToggle&) = delete;

  // The open window, or null: one asked to close counts as closed before it is deleted.
  Window* window() const { return window_ && !window_->closing() ? window_.data() : nullptr; }
  bool is_open() const { return window() != nullptr; }

 protected:
  explicit WindowToggle(Kept kept = {}) : kept_(std::move(kept)) {}

  // Closes the open window; otherwise makes one with `make` and, once it
  // counts as open, shows it with `show`, whose pointer turns null should
  // the window go meanwhile (a growth runs the event loop). 0 only when the
  // system could not make the window: it then counts as closed, so the next
  // press tries to open it again.
  template <typename Make, typename Show>
  int toggle_window(Make make, Show show) {
    if (Window* open = window()) {
      open->close();
      return 1;
    }
    const QPointer<Window> made = make();
    made->winId();
    if (made->windowHandle() == nullptr || made->windowHandle()->handle() == nullptr) {
      delete made.data();
      return 0;
    }
    window_ = made;
    show(made);
    return 1;
  }

  Kept kept_;

 private:
  QPointer<Window> window_;
};

}  // namespace marvok::ui
