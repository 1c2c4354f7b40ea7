#pragma once

#include <optional>

namespace marvok::platform {

enum class AudioEndpoint { DefaultRender, DefaultCapture };

// The master level of the default speaker or microphone, on the sound
// server's perceptual scale from 0.0 to 1.0. Each call connects, does its one
// operation and disconnects; any failure returns nothing or false.
std::optional<float> get_master_level(AudioEndpoint endpoint);
bool set_master_level(AudioEndpoint endpoint, float level);

}  // namespace marvok::platform
