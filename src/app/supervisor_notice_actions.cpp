#include "app/supervisor_notice_actions.h"

#include "app/deployment.h"
#include "app/main_thread_call.h"

namespace marvok {

namespace {

void destroy_main_window(const MainWindowGetter& main_window) {
  if (screen::MainWindowHost* window = main_window()) window->screen().close();
}

}  // namespace

void SupervisorNoticeActions::version_too_old() {
  run_on_main_thread(
      main_thread_,
      [&dialogs = dialogs_, window = window_] {
        dialogs.message_box(window() ? screen::BoxOwner::MainWindow : screen::BoxOwner::None,
                            u"Votre application doit être mise à jour", u"Info du Superviseur",
                            screen::BoxIcon::Warning);
        dialogs.open_web_page(std::string(deployment::kSiteUrl) + "/installer.php");
        destroy_main_window(window);
      },
      stop_);
}

void SupervisorNoticeActions::supervisor_closes() {
  run_on_main_thread(
      main_thread_,
      [&dialogs = dialogs_, window = window_] {
        dialogs.notice(u"Le superviseur va fermer\nautomatiquement votre application\ndans 20 secondes");
        destroy_main_window(window);
      },
      stop_);
}

}  // namespace marvok
