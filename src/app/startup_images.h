#pragma once

#include <functional>
#include <optional>

#include "screen/dialogs.h"
#include "screen/front_end.h"
#include "screen/gif_player.h"
#include "screen/main_images.h"

namespace marvok {

// The main window while it exists; nothing once it has been destroyed.
using MainWindowGetter = std::function<screen::MainWindowHost*()>;

// Loads the status-light pictures from the light directory file. A missing or
// unreadable file leaves the lights without pictures; start-up goes on.
void load_led_images(screen::MainWindowImages& images);

// Loads the knob and PARAMS button pictures. Each missing one is announced in a
// box and ends the client by destroying the main window.
void load_button_images(screen::MainWindowImages& images, const MainWindowGetter& window, screen::Dialogs& dialogs);

// Loads the documentation and voice-help icons, announced like the buttons.
void load_icon_images(screen::MainWindowImages& images, const MainWindowGetter& window, screen::Dialogs& dialogs);

// Loads the CHANNEL panel's background and the ten channel pictures; one box
// for each missing picture.
void load_channel_images(screen::MainWindowImages& images, const MainWindowGetter& window, screen::Dialogs& dialogs);

// Reads the main window's animation. Without its file the member is told,
// the client ends by destroying the main window, and nothing is returned; a
// file that cannot be decoded gives an animation without frames.
std::optional<screen::GifAnimation> load_gif_animation(const MainWindowGetter& window, screen::Dialogs& dialogs);

}  // namespace marvok
