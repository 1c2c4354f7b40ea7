#include "ui/win32/win32_front_end.h"

#include "platform/audio_endpoints.h"
#include "screen/default_input_device.h"
#include "screen/main_layout.h"
#include "ui/win32/grown_tool_windows.h"
#include "ui/win32/input_device_window.h"
#include "ui/win32/picture_exchange_window.h"

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

// The tool windows, each opened by its click on the main window and closed by the next.
class Win32ToolWindows final : public screen::ToolWindows {
 public:
  Win32ToolWindows(MainWindow& main, screen::ToolWindowSources sources, screen::EventLoop& loop,
                   screen::Dialogs& dialogs)
      : sources_(std::move(sources)),
        input_device_(main.handle(), sources_.state.devices, [this] { params_.repaint_content(); },
                      {platform::list_input_devices, platform::describe_capture_endpoint}),
        params_({main.handle(), loop}, sources_.state.display, sources_.state.devices,
                params_lookups(sources_, dialogs), params_commands(main)),
        network_({main.handle(), loop}, sources_.state.channel, sources_.members, sources_.member_picture),
        group_list_({main.handle(), loop}, sources_.members, sources_.member_picture),
        exchange_(main.handle(), sources_.state.channel,
                  {sources_.download_shared_picture, sources_.upload_shared_picture}) {}

  void toggle_network() override { network_.toggle(); }
  void toggle_group_list() override { group_list_.toggle(); }
  void toggle_params() override { params_.toggle(); }
  void toggle_picture_exchange() override { exchange_.toggle(); }

 private:
  static screen::ParamsLookups params_lookups(const screen::ToolWindowSources& sources, screen::Dialogs& dialogs) {
    screen::ParamsLookups lookups;
    lookups.describe_default_input = [&dialogs](platform::DeviceDescription& description) {
      return screen::describe_default_input_device(
          description, {platform::default_capture_endpoint_index, platform::describe_capture_endpoint}, dialogs);
    };
    lookups.describe_capture_endpoint = platform::describe_capture_endpoint;
    lookups.describe_default_output = platform::describe_default_output_device;
    lookups.member_card = sources.member_card;
    return lookups;
  }

  screen::ParamsCommands params_commands(MainWindow& main) {
    screen::ParamsCommands commands;
    commands.toggle_input_device_window = [this] { input_device_.toggle(); };
    commands.post_parameters = sources_.post_parameters;
    // The new background shows once the frame and the panels over it are painted again.
    commands.repaint_main = [&main] {
      if (main.handle() != nullptr) main.screen().request_repaint(screen::Rect({0, 0}, screen::kMainWindowSize));
    };
    return commands;
  }

  screen::ToolWindowSources sources_;
  InputDeviceWindowToggle input_device_;
  ParamsWindowToggle params_;
  NetworkWindowToggle network_;
  GroupListWindowToggle group_list_;
  PictureExchangeWindowToggle exchange_;
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

std::unique_ptr<screen::ToolWindows> Win32FrontEnd::create_tool_windows(screen::MainWindowHost& main,
                                                                        screen::ToolWindowSources sources) {
  return std::make_unique<Win32ToolWindows>(static_cast<Win32MainWindowHost&>(main).window(), std::move(sources), loop_,
                                            dialogs_);
}

HWND Win32FrontEnd::main_window() const { return main_window_ != nullptr ? main_window_->handle() : nullptr; }

void Win32FrontEnd::forget_main_window(const MainWindow* window) {
  if (main_window_ == window) main_window_ = nullptr;
}

}  // namespace marvok::ui::win32
