#include "app/device_failure.h"

#include <QString>

#include "app/main_thread_call.h"
#include "ui/message_box.h"

namespace marvok {

namespace {

constexpr int kExitDeviceFailure = 1;

const QString kPlaybackProblem = QStringLiteral(
    "Erreur d'ouverture du périphérique de lecture.\nLe driver de lecture est défectueux ou incompatible\n"
    "Marvok ne pourra pas fonctionner en mode écoute.\nLe programme va s'arrêté automatiquement.");
const QString kCaptureProblem = QStringLiteral(
    "Erreur d'ouverture du périphérique d'enregistrement.\nLe driver d'enregistrement est défectueux ou "
    "incompatible\nMarvok ne pourra fonctionner qu'en mode écoute.\nLe programme va s'arrêté automatiquement.");

}  // namespace

void report_device_failure(QObject& context, MessageLoop& loop, VoiceDevice device, int code, std::stop_token stop) {
  run_on_main_thread(
      context,
      [&loop, device, code] {
        ui::show_message_box(nullptr,
                             QStringLiteral("Windows semble avoir un problème système !\nCode d'erreur : %1").arg(code),
                             QStringLiteral("Erreur Système Windows"), ui::BoxIcon::None);
        ui::show_message_box(nullptr, device == VoiceDevice::Playback ? kPlaybackProblem : kCaptureProblem,
                             QStringLiteral("Identification du problème"), ui::BoxIcon::None);
        loop.post_quit_message(kExitDeviceFailure);
      },
      stop);
}

}  // namespace marvok
