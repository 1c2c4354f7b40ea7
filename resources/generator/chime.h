#pragma once
#include <cstdint>
#include <vector>

constexpr int kChimeSampleRate = 44100;
constexpr int kChimeChannels = 2;

// Returns the rising three-note bell played at start-up, as interleaved 16-bit stereo.
std::vector<int16_t> synthesize_startup_chime();
