#pragma once

#include "screen/canvas.h"
#include "screen/main_images.h"
#include "state/session_state.h"

namespace marvok::screen {

// The CHANNEL panel: the background picture, the channel's own picture (none
// on channel 0), a red frame, the channel's name, the member count as last
// announced ("-1" right after a change) and the label.
void draw_channel_panel(Canvas& canvas, const ChannelState& channel, const MainWindowImages& images, Colour background);

}  // namespace marvok::screen
