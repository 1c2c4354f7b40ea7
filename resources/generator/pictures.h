#pragma once
// Every picture the client loads, one drawing function each.
#include <QImage>
#include <QString>
#include <utility>
#include <vector>

// The pointer faces straight up, because the client rotates the picture itself.
QImage draw_level_knob();
// Stored upside down, because the client turns it by 180 degrees.
QImage draw_params_button();
QImage draw_documentation_icon();
QImage draw_voice_help_icon();
QImage draw_app_icon(int size_px);
std::vector<std::pair<QString, QImage>> draw_status_leds();

constexpr int kChannelCount = 10;
QImage draw_channel_panel();
// Channels are numbered from 1 to kChannelCount.
QImage draw_channel_picture(int channel);

QImage draw_vu_meter_dial();
std::vector<QImage> draw_atom_frames();
// Ten frames a second: each frame costs the client a repaint and a trip to
// the display server, and the atom turns as smoothly to the eye as at more.
constexpr int kAtomFrameDelayCentiseconds = 10;
