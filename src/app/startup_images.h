#pragma once

namespace marvok {

// Loads the status-light pictures from the light directory file. A missing or
// unreadable file leaves the lights without pictures; start-up goes on.
void load_led_images();

// Loads the knob and PARAMS button pictures. Each missing one is announced in a
// box and ends the client by destroying the main window.
void load_button_images();

// Loads the documentation and voice-help icons, announced like the buttons.
void load_icon_images();

// Loads the CHANNEL panel's background and the ten channel pictures; one box
// for each missing picture.
void load_channel_images();

}  // namespace marvok
