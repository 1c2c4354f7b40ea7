#include "app/device_failure.h"

#include <string>

#include "app/main_thread_call.h"

namespace marvok {

namespace {

constexpr int kExitDeviceFailure = 1;

constexpr char16_t kPlaybackProblem[] =
    u"Erreur d'ouverture du périphérique de lecture.\nLe driver de lecture est défectueux ou incompatible\n"
    u"Marvok ne pourra pas fonctionner en mode écoute.\nLe programme va s'arrêté automatiquement.";
constexpr char16_t kCaptureProblem[] =
    u"Erreur d'ouverture du périphérique d'enregistrement.\nLe driver d'enregistrement est défectueux ou "
    u"incompatible\nMarvok ne pourra fonctionner qu'en mode écoute.\nLe programme va s'arrêté automatiquement.";

}  // namespace

void report_device_failure(screen::PostTarget& main_thread, screen::Dialogs& dialogs, MessageLoop& loop,
                           VoiceDevice device, int code, std::stop_token stop) {
  run_on_main_thread(
      main_thread,
      [&dialogs, &loop, device, code] {
        const std::string number = std::to_string(code);
        dialogs.message_box(screen::BoxOwner::None,
                            u"Windows semble avoir un problème système !\nCode d'erreur : " +
                                std::u16string(number.begin(), number.end()),
                            u"Erreur Système Windows", screen::BoxIcon::None);
        dialogs.message_box(screen::BoxOwner::None,
                            device == VoiceDevice::Playback ? kPlaybackProblem : kCaptureProblem,
                            u"Identification du problème", screen::BoxIcon::None);
        loop.post_quit_message(kExitDeviceFailure);
      },
      stop);
}

}  // namespace marvok
