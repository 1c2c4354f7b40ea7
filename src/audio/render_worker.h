#pragma once

#include <functional>
#include <memory>
#include <stop_token>

#include "audio/render_ring.h"
#include "audio/reopen_pause.h"
#include "platform/audio_devices.h"

namespace marvok {

// A one-second output buffer, topped up every half second.
inline constexpr int kRenderBufferMs = 1000;

// Plays the decoded speech ring through the default output until stopped or
// until the device fails; the ring's under-runs are played as silence.
void run_render_stage(std::stop_token stop, platform::RenderDevice& device, RenderRing& ring);

using RenderDeviceOpener = std::function<std::unique_ptr<platform::RenderDevice>()>;

// Plays the ring until stopped. An output that cannot be opened, or that
// fails as the sound server restarts, is opened again after a pause that
// grows while the server stays away: without one the speech is not heard.
void run_render_worker(std::stop_token stop, const RenderDeviceOpener& open_device, RenderRing& ring,
                       ReopenPause pause = {});

}  // namespace marvok
