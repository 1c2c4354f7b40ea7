#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "companion_server.h"
#include "held_key.h"

namespace marvok::talksrv {

// A small window that stays above the others with one button held to talk,
// for members who prefer the mouse. Destroying it ends the calling thread's
// message loop with code 0: closing it ends talksrv, as the client's quit does.
class TalkWindow {
 public:
  using OnChange = std::function<void(Report)>;

  // Nothing when the window cannot be made.
  static std::unique_ptr<TalkWindow> open(OnChange on_change);
  ~TalkWindow();
  TalkWindow(const TalkWindow&) = delete;
  TalkWindow& operator=(const TalkWindow&) = delete;

  // From any thread: closes the window as its close box does.
  void close() const;
  HWND handle() const { return window_; }
  HWND button() const { return button_; }

 private:
  explicit TalkWindow(OnChange on_change) : on_change_(std::move(on_change)) {}
  static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK button_procedure(HWND button, UINT message, WPARAM w, LPARAM l, UINT_PTR id, DWORD_PTR self);
  void report(HeldKey::Event event);

  OnChange on_change_;
  HeldKey held_;
  HWND window_ = nullptr;
  HWND button_ = nullptr;
};

}  // namespace marvok::talksrv
