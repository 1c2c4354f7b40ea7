#pragma once

#include "screen/gif_player.h"

class QIODevice;

namespace marvok::ui {

// Reads an animated picture, each frame scaled to 150 × 150. A file that
// cannot be read, or is cut short, gives the frames read before the fault
// (possibly none).
screen::GifAnimation read_gif_animation(QIODevice& file);

}  // namespace marvok::ui
