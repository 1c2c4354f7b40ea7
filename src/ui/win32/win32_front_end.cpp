#include "ui/win32/win32_front_end.h"

namespace marvok::ui::win32 {

namespace {

class Win32MainWindowHost final : public screen::MainWindowHost {
 public:
  Win32MainWindowHost(Win32FrontEnd& front_end, SessionState& state, MainWindow::Handlers handlers)
      : front_end_(front_end), window_(state, std::move(handlers)) {}
  ~Win32MainWindowHost() override { front_end_.forget_main_window(&window_); }
  Win32MainWindowHost(const Win32MainWindowHost&) = delete;
  Win32MainWindowHost& operator=(const Win32MainWindowHost&) = delete;

  MainWindow& window() { return window_; }
  screen::MainScreen& screen() override { return window_.screen(); }
  void show_centred() override { window_.show_centred(); }
  void set_enabled(bool enabled) override {
    if (window_.handle() != nullptr) EnableWindow(window_.handle(), enabled ? TRUE : FALSE);
  }
  bool enabled() const override { return window_.handle() != nullptr && IsWindowEnabled(window_.handle()) != FALSE; }
  void update_now() override { window_.update_now(); }
  void create_level_meters(const LevelMeterState& meters) override { window_.create_level_meters(meters); }
  void redraw_level_meters() override { window_.redraw_level_meters(); }

 private:
  Win32FrontEnd& front_end_;
  MainWindow window_;
};

// Until the tool windows are drawn on Windows, their clicks open nothing.
class AbsentToolWindows final : public screen::ToolWindows {
 public:
  void toggle_network() override {}
  void toggle_group_list() override {}
  void toggle_params() override {}
  void toggle_picture_exchange() override {}
};

}  // namespace

Win32FrontEnd::Win32FrontEnd() : dialogs_([this] { return main_window(); }, GetModuleHandleW(nullptr)) {}

std::unique_ptr<screen::MainWindowHost> Win32FrontEnd::create_main_window(SessionState& state,
                                                                          std::function<void()> on_destroy) {
  MainWindow::Handlers handlers;
  handlers.destroyed = std::move(on_destroy);
  handlers.end_requested = [this] { loop_.request_termination(); };
  handlers.session_ending = [this] {
    if (session_ending_) session_ending_();
  };
  auto host = std::make_unique<Win32MainWindowHost>(*this, state, std::move(handlers));
  main_window_ = &host->window();
  return host;
}

std::unique_ptr<screen::ToolWindows> Win32FrontEnd::create_tool_windows(screen::MainWindowHost& /*main*/,
                                                                        screen::ToolWindowSources /*sources*/) {
  return std::make_unique<AbsentToolWindows>();
}

HWND Win32FrontEnd::main_window() const { return main_window_ != nullptr ? main_window_->handle() : nullptr; }

void Win32FrontEnd::forget_main_window(const MainWindow* window) {
  if (main_window_ == window) main_window_ = nullptr;
}

}  // namespace marvok::ui::win32
