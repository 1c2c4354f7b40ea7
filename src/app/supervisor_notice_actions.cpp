#include "app/supervisor_notice_actions.h"

#include "app/deployment.h"
#include "app/main_thread_call.h"
#include "ui/custom_dialog.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/web_pages.h"

namespace marvok {

namespace {

void destroy_main_window(const MainWindowGetter& main_window) {
  if (ui::MainWindow* window = main_window()) window->destroy_window();
}

}  // namespace

void SupervisorNoticeActions::version_too_old() {
  run_on_main_thread(
      context_,
      [window = window_] {
        ui::show_message_box(window(), QStringLiteral("Votre application doit être mise à jour"),
                             QStringLiteral("Info du Superviseur"), ui::BoxIcon::Warning);
        ui::open_web_page(std::string(deployment::kSiteUrl) + "/installer.php");
        destroy_main_window(window);
      },
      stop_);
}

void SupervisorNoticeActions::supervisor_closes() {
  run_on_main_thread(
      context_,
      [window = window_] {
        ui::show_custom_dialog(
            window(), QStringLiteral("Le superviseur va fermer\nautomatiquement votre application\ndans 20 secondes"));
        destroy_main_window(window);
      },
      stop_);
}

}  // namespace marvok
