#pragma once

#include <windows.h>
// These need the types of the one above.
#include <mmreg.h>
#include <mmsystem.h>

#include <atomic>

#include "platform/audio_devices.h"

namespace marvok::platform {

// The voice format as the wave devices take it.
inline constexpr WAVEFORMATEX kWaveVoiceFormat{WAVE_FORMAT_PCM,
                                               static_cast<WORD>(kVoiceChannels),
                                               static_cast<DWORD>(kVoiceFramesPerSecond),
                                               static_cast<DWORD>(kVoiceFramesPerSecond* kVoiceFrameBytes),
                                               static_cast<WORD>(kVoiceFrameBytes),
                                               16,
                                               0};

// Whether a failed open may come right by waiting. A driver that fails
// without a reason of its own is how a lost audio back end shows (its service
// restarting, its server gone); with no wave device left at all the audio
// system itself is away. A device missing, busy or refusing the format is
// answered for: waiting will not bring it.
inline ServerReach wave_system_reach(MMRESULT result) {
  if (result == MMSYSERR_ERROR) return ServerReach::Unreachable;
  return waveInGetNumDevs() == 0 && waveOutGetNumDevs() == 0 ? ServerReach::Unreachable : ServerReach::Reached;
}

// The flags of a header, which the device's own thread writes.
inline DWORD header_flags(const WAVEHDR& header) {
  return std::atomic_ref<DWORD>(const_cast<DWORD&>(header.dwFlags)).load(std::memory_order_acquire);
}

// An error code for the member, never 0.
inline int device_error_code(MMRESULT result) {
  return result != MMSYSERR_NOERROR ? static_cast<int>(result) : MMSYSERR_ERROR;
}

}  // namespace marvok::platform
