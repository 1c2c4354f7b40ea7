#pragma once

#include <QPointer>
#include <functional>

#include "screen/front_end.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_dialogs.h"
#include "ui/qt/qt_event_loop.h"

namespace marvok::ui {

// The client's windows, dialogs and event loop drawn and run by Qt Widgets.
// Make it after the application object, on its thread.
class QtFrontEnd final : public screen::FrontEnd {
 public:
  QtFrontEnd();

  screen::EventLoop& loop() override { return loop_; }
  screen::Dialogs& dialogs() override { return dialogs_; }
  std::unique_ptr<screen::MainWindowHost> create_main_window(SessionState& state,
                                                             std::function<void()> on_destroy) override;
  std::unique_ptr<screen::ToolWindows> create_tool_windows(screen::MainWindowHost& main,
                                                           screen::ToolWindowSources sources) override;

  // The Qt window behind the last main window made, while it exists.
  MainWindow* main_window() const { return main_window_.data(); }

 private:
  QtEventLoop loop_;
  QtDialogs dialogs_;
  QPointer<MainWindow> main_window_;
};

// Runs `client` with a Qt front end, in an application object made from the
// command line, and returns what it returns.
int run_with_qt_front_end(int argc, char** argv, const std::function<int(screen::FrontEnd&)>& client);

}  // namespace marvok::ui
