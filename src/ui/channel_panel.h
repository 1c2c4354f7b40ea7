#pragma once

#include <cstdint>

#include "state/session_state.h"
#include "ui/main_images.h"

class QPainter;

namespace marvok::ui {

// The CHANNEL panel: the background picture, the channel's own picture (none
// on channel 0), a red frame, the channel's name, the member count as last
// announced ("-1" right after a change) and the label.
void draw_channel_panel(QPainter& painter, const ChannelState& channel, const MainWindowImages& images,
                        std::uint32_t background);

}  // namespace marvok::ui
