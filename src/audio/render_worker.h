#pragma once

#include <functional>
#include <memory>
#include <stop_token>

#include "audio/render_ring.h"
#include "platform/audio_devices.h"

namespace marvok {

// A one-second output buffer, topped up every half second.
inline constexpr int kRenderBufferMs = 1000;

// Plays the decoded speech ring through the default output until stopped or
// until the device fails; the ring's under-runs are played as silence.
void run_render_stage(std::stop_token stop, platform::RenderDevice& device, RenderRing& ring);

}  // namespace marvok
