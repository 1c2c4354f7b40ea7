#include "app/startup_images.h"

#include <array>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

#include "platform/pictures.h"
#include "state/led_image_file.h"

namespace marvok {

namespace {

constexpr char16_t kMissingFileCaption[] = u"Le programme va s'arrêter\ncar il manque le fichier\nREF: ";
constexpr char16_t kMissingOneFileCaption[] = u"Le programme va s'arrêter\ncar il manque un fichier\nREF: ";
constexpr char kAnimationFileName[] = "electron-animation.gif";
constexpr char16_t kMissingAnimationText[] =
    u"Il manque un fichier *.gif dans\nl’installation de Marvok\nL’application Marvok va\nêtre stopper. Cliquez sur "
    u"OK\n";

std::u16string latin1(std::string_view text) { return {text.begin(), text.end()}; }

// A picture the window cannot do without: tell the member which one, then end
// the client by destroying the main window. Start-up itself carries on.
void stop_for_missing_picture(const MainWindowGetter& main_window, screen::Dialogs& dialogs,
                              std::u16string_view caption, std::u16string_view reference) {
  screen::MainWindowHost* window = main_window();
  if (window) window->set_enabled(false);
  dialogs.message_box(window ? screen::BoxOwner::MainWindow : screen::BoxOwner::None, reference, caption,
                      screen::BoxIcon::Question);
  window = main_window();
  if (window) {
    window->set_enabled(true);
    window->screen().close();
  }
}

// A picture file of the resources folder; an empty picture when it is missing or no BMP.
Picture load_bmp_file(const std::string& file_name) {
  return platform::load_picture_file(file_name, platform::PictureFormat::Bmp);
}

}  // namespace

void load_led_images(screen::MainWindowImages& images) {
  images.leds.fill(Picture());
  const std::optional<LedImageFile> file = LedImageFile::load(kLedImageFileName);
  if (!file) return;
  for (int code = 1; code <= kLedColorCount; ++code) {
    const auto color = static_cast<LedColor>(code);
    if (const auto blob = file->find(led_image_name(color)))
      images.leds[static_cast<std::size_t>(code - 1)] = platform::decode_picture(*blob, platform::PictureFormat::Bmp);
  }
}

void load_button_images(screen::MainWindowImages& images, const MainWindowGetter& window, screen::Dialogs& dialogs) {
  const std::pair<Picture*, const char*> buttons[] = {
      {&images.knob, "btn-fleche.bmp"},
      {&images.params_button, "btn-param.bmp"},
  };
  for (const auto& [image, file_name] : buttons) {
    *image = load_bmp_file(file_name);
    if (image->empty()) stop_for_missing_picture(window, dialogs, kMissingFileCaption, latin1(file_name));
  }
}

void load_icon_images(screen::MainWindowImages& images, const MainWindowGetter& window, screen::Dialogs& dialogs) {
  const std::tuple<Picture*, const char*, const char16_t*> icons[] = {
      {&images.doc_icon, "doc_img.bmp", u"DOC-IMG"},
      {&images.voice_help_icon, "synthe_1.bmp", u"SYNTHE-IMG"},
  };
  for (const auto& [image, file_name, reference] : icons) {
    *image = load_bmp_file(file_name);
    if (image->empty()) stop_for_missing_picture(window, dialogs, kMissingOneFileCaption, reference);
  }
}

void load_channel_images(screen::MainWindowImages& images, const MainWindowGetter& window, screen::Dialogs& dialogs) {
  for (int n = 0; n < screen::kChannelCount; ++n)
    images.channel[static_cast<std::size_t>(n)] = load_bmp_file(std::to_string(n) + ".bmp");
  // Decide which are missing before the first box: destroying the window
  // releases the pictures that were found.
  std::array<bool, screen::kChannelCount> missing{};
  for (std::size_t n = 0; n < missing.size(); ++n) missing[n] = images.channel[n].empty();
  for (bool is_missing : missing)
    if (is_missing) stop_for_missing_picture(window, dialogs, kMissingOneFileCaption, u"CHANNEL-NUM");
}

std::optional<screen::GifAnimation> load_gif_animation(const MainWindowGetter& window, screen::Dialogs& dialogs) {
  std::error_code error;
  if (!std::filesystem::exists(kAnimationFileName, error)) {
    dialogs.message_box(screen::BoxOwner::None, kMissingAnimationText, u"Marvok System", screen::BoxIcon::Error);
    if (screen::MainWindowHost* main = window()) main->screen().close();
    return std::nullopt;
  }
  return screen::gif_animation(platform::load_animation_file(kAnimationFileName, screen::kMaxAnimationFrames));
}

}  // namespace marvok
