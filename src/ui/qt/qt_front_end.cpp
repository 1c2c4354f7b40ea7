#include "ui/qt/qt_front_end.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

#include "screen/default_input_device.h"
#include "screen/main_layout.h"
#include "ui/qt/colour_dialog.h"
#include "ui/qt/group_list_window.h"
#include "ui/qt/input_device_window.h"
#include "ui/qt/level_meters.h"
#include "ui/qt/network_window.h"
#include "ui/qt/params_window.h"
#include "ui/qt/picture_exchange_window.h"

namespace marvok::ui {

namespace {

class QtMainWindowHost final : public screen::MainWindowHost {
 public:
  QtMainWindowHost(SessionState& state, std::function<void()> on_destroy) : window_(state) {
    window_.set_destroy_handler(std::move(on_destroy));
    window_.setWindowIcon(QIcon::fromTheme(QStringLiteral("marvok"), QIcon(QStringLiteral("marvok.png"))));
  }

  MainWindow& window() { return window_; }
  screen::MainScreen& screen() override { return window_.screen(); }
  void show_centred() override {
    if (const QScreen* display = QGuiApplication::primaryScreen()) {
      const QRect area = display->geometry();
      window_.move(area.topLeft() +
                   to_qpoint(screen::centred_top_left({area.width(), area.height()}, screen::kMainWindowSize)));
    }
    window_.show();
  }
  void set_enabled(bool enabled) override { window_.setEnabled(enabled); }
  bool enabled() const override { return window_.isEnabled(); }
  void update_now() override { window_.update_now(); }
  void create_level_meters(const LevelMeterState& meters) override {
    meters_ = ui::create_level_meters(window_, meters);
  }
  void redraw_level_meters() override { ui::redraw_level_meters(meters_); }

 private:
  MainWindow window_;
  LevelMeters meters_;
};

class QtToolWindows final : public screen::ToolWindows {
 public:
  QtToolWindows(MainWindow& main, screen::ToolWindowSources sources, screen::Dialogs& dialogs)
      : sources_(std::move(sources)) {
    SessionState& state = sources_.state;
    input_device_ = std::make_unique<InputDeviceWindowToggle>(main, state.devices, [this] {
      if (params_) params_->repaint_content();
    });
    ParamsServices services;
    services.describe_default_input = [&dialogs](platform::DeviceDescription& description) {
      return screen::describe_default_input_device(
          description, {platform::default_capture_endpoint_index, platform::describe_capture_endpoint}, dialogs);
    };
    services.describe_capture_endpoint = platform::describe_capture_endpoint;
    services.describe_default_output = platform::describe_default_output_device;
    services.toggle_input_device_window = [this] { input_device_->toggle(); };
    services.post_parameters = sources_.post_parameters;
    services.member_card = sources_.member_card;
    services.choose_colour = choose_colour;
    // The new background shows once the frame and the panels over it are painted again.
    services.repaint_main = [main = QPointer<MainWindow>(&main)] {
      if (main) main->screen().request_repaint(screen::Rect({0, 0}, screen::kMainWindowSize));
    };
    params_ = std::make_unique<ParamsWindowToggle>(main, state.display, state.devices, std::move(services));
    network_ = std::make_unique<NetworkWindowToggle>(main, state.channel, sources_.members, sources_.member_picture);
    exchange_ = std::make_unique<PictureExchangeWindowToggle>(
        main, state.channel, PictureExchangeSource{sources_.download_shared_picture, sources_.upload_shared_picture});
    group_list_ = std::make_unique<GroupListWindowToggle>(main, sources_.members, sources_.member_picture);
  }

  void toggle_network() override { network_->toggle(); }
  void toggle_group_list() override { group_list_->toggle(); }
  void toggle_params() override { params_->toggle(); }
  void toggle_picture_exchange() override { exchange_->toggle(); }

 private:
  screen::ToolWindowSources sources_;
  std::unique_ptr<InputDeviceWindowToggle> input_device_;
  std::unique_ptr<ParamsWindowToggle> params_;
  std::unique_ptr<NetworkWindowToggle> network_;
  std::unique_ptr<PictureExchangeWindowToggle> exchange_;
  std::unique_ptr<GroupListWindowToggle> group_list_;
};

}  // namespace

QtFrontEnd::QtFrontEnd() : dialogs_([this] { return static_cast<QWidget*>(main_window_.data()); }) {}

std::unique_ptr<screen::MainWindowHost> QtFrontEnd::create_main_window(SessionState& state,
                                                                       std::function<void()> on_destroy) {
  auto host = std::make_unique<QtMainWindowHost>(state, std::move(on_destroy));
  main_window_ = &host->window();
  return host;
}

std::unique_ptr<screen::ToolWindows> QtFrontEnd::create_tool_windows(screen::MainWindowHost& main,
                                                                     screen::ToolWindowSources sources) {
  return std::make_unique<QtToolWindows>(static_cast<QtMainWindowHost&>(main).window(), std::move(sources), dialogs_);
}

int run_with_qt_front_end(int argc, char** argv, const std::function<int(screen::FrontEnd&)>& client) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("marvok"));
  QApplication::setDesktopFileName(QStringLiteral("marvok"));
  // The client decides when it ends: message boxes may still show after the
  // main window has gone.
  QApplication::setQuitOnLastWindowClosed(false);
  QtFrontEnd front_end;
  return client(front_end);
}

}  // namespace marvok::ui
