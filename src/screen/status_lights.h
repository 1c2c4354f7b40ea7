#pragma once

#include <array>
#include <cstdint>

#include "screen/canvas.h"
#include "screen/main_images.h"
#include "state/session_state.h"

namespace marvok::screen {

// The five ERROR LEVEL lights for a count of losses: one light walks right as
// losses grow, yellow at 3 and red at 4; 99 (nothing arriving) lights all red.
std::array<LedColor, 5> error_level_lights(std::int32_t error_level);

// Where cell k of the NETWORK ring is drawn: 16 lights on a circle of radius
// 40 around (420, 380), cell 0 at the bottom and the index running clockwise.
Point ring_light_position(int cell);

// Whether the main window is the window the member is using.
enum class WindowFocus { Foreground, Background };

// Labels never change: a redraw over an unchanged frame may leave them as they are.
enum class Labels { Draw, Keep };

// The status lights with their labels, the ERROR LEVEL row (set from the
// loss count) and the two focus lights.
void draw_status_lights(Canvas& canvas, LightsState& lights, const LedImages& images, WindowFocus focus,
                        Colour background, Labels labels = Labels::Draw);

// The sixteen lights of the NETWORK ring and its label.
void draw_network_ring(Canvas& canvas, const LightsState& lights, const LedImages& images, Colour background);

// One light of the NETWORK ring.
void draw_ring_light(Canvas& canvas, int cell, LedColor value, const LedImages& images);

}  // namespace marvok::screen
