#include "app/startup_images.h"

#include <QFile>
#include <QString>
#include <array>
#include <tuple>
#include <utility>

#include "platform/pictures.h"
#include "state/led_image_file.h"
#include "ui/gif_animation.h"
#include "ui/main_window.h"
#include "ui/message_box.h"

namespace marvok {

namespace {

const QString kMissingFileCaption = QStringLiteral("Le programme va s'arrêter\ncar il manque le fichier\nREF: ");
const QString kMissingOneFileCaption = QStringLiteral("Le programme va s'arrêter\ncar il manque un fichier\nREF: ");
const QString kAnimationFileName = QStringLiteral("electron-animation.gif");
const QString kMissingAnimationText = QStringLiteral(
    "Il manque un fichier *.gif dans\nl’installation de Marvok\nL’application Marvok va\nêtre stopper. Cliquez sur "
    "OK\n");

// A picture the window cannot do without: tell the member which one, then end
// the client by destroying the main window. Start-up itself carries on.
void stop_for_missing_picture(const MainWindowGetter& main_window, const QString& caption, const QString& reference) {
  ui::MainWindow* window = main_window();
  if (window) window->setEnabled(false);
  ui::show_message_box(window, reference, caption, ui::BoxIcon::Question);
  window = main_window();
  if (window) {
    window->setEnabled(true);
    window->destroy_window();
  }
}

// A picture file of the resources folder; an empty picture when it is missing or no BMP.
Picture load_bmp_file(const QString& file_name) {
  return platform::load_picture_file(file_name.toStdString(), platform::PictureFormat::Bmp);
}

}  // namespace

void load_led_images(screen::MainWindowImages& images) {
  images.leds.fill(Picture());
  const std::optional<LedImageFile> file = LedImageFile::load(kLedImageFileName);
  if (!file) return;
  for (int code = 1; code <= kLedColorCount; ++code) {
    const auto color = static_cast<LedColor>(code);
    if (const auto blob = file->find(led_image_name(color))) {
      images.leds[static_cast<std::size_t>(code - 1)] = platform::decode_picture(*blob, platform::PictureFormat::Bmp);
    }
  }
}

void load_button_images(screen::MainWindowImages& images, const MainWindowGetter& window) {
  const std::pair<Picture*, QString> buttons[] = {
      {&images.knob, QStringLiteral("btn-fleche.bmp")},
      {&images.params_button, QStringLiteral("btn-param.bmp")},
  };
  for (const auto& [image, file_name] : buttons) {
    *image = load_bmp_file(file_name);
    if (image->empty()) stop_for_missing_picture(window, kMissingFileCaption, file_name);
  }
}

void load_icon_images(screen::MainWindowImages& images, const MainWindowGetter& window) {
  const std::tuple<Picture*, QString, QString> icons[] = {
      {&images.doc_icon, QStringLiteral("doc_img.bmp"), QStringLiteral("DOC-IMG")},
      {&images.voice_help_icon, QStringLiteral("synthe_1.bmp"), QStringLiteral("SYNTHE-IMG")},
  };
  for (const auto& [image, file_name, reference] : icons) {
    *image = load_bmp_file(file_name);
    if (image->empty()) stop_for_missing_picture(window, kMissingOneFileCaption, reference);
  }
}

void load_channel_images(screen::MainWindowImages& images, const MainWindowGetter& window) {
  for (int n = 0; n < screen::kChannelCount; ++n)
    images.channel[static_cast<std::size_t>(n)] = load_bmp_file(QStringLiteral("%1.bmp").arg(n));
  // Decide which are missing before the first box: destroying the window
  // releases the pictures that were found.
  std::array<bool, screen::kChannelCount> missing{};
  for (std::size_t n = 0; n < missing.size(); ++n) missing[n] = images.channel[n].empty();
  for (bool is_missing : missing)
    if (is_missing) stop_for_missing_picture(window, kMissingOneFileCaption, QStringLiteral("CHANNEL-NUM"));
}

std::optional<screen::GifAnimation> load_gif_animation(const MainWindowGetter& window) {
  QFile file(kAnimationFileName);
  if (!file.exists()) {
    ui::show_message_box(nullptr, kMissingAnimationText, QStringLiteral("Marvok System"), ui::BoxIcon::Error);
    if (ui::MainWindow* main = window()) main->destroy_window();
    return std::nullopt;
  }
  if (!file.open(QIODevice::ReadOnly)) return screen::GifAnimation{};
  return ui::read_gif_animation(file);
}

}  // namespace marvok
