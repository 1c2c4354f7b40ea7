#pragma once

#include <functional>
#include <memory>
#include <span>
#include <stop_token>

#include "audio/level_meter.h"
#include "audio/playback_queue.h"
#include "platform/audio_devices.h"
#include "state/session_state.h"

namespace marvok {

// How the audio worker opens its devices; the client passes the sound server's.
struct VoiceDevices {
  std::function<std::unique_ptr<platform::OutputDevice>(std::function<void()> on_buffer_done,
                                                        platform::DeviceError& error)>
      open_output;
  std::function<std::unique_ptr<platform::CaptureDevice>(int device, platform::DeviceError& error)> open_capture;
};

enum class VoiceDevice { Playback, Capture };

// Told when a device cannot be opened, with the code to show; the worker then ends.
using DeviceFailureHandler = std::function<void(VoiceDevice device, int code)>;
// Takes one recorded block; the block is only valid during the call.
using VoiceBlockSender = std::function<void(std::span<const std::uint8_t, kVoiceBlockBytes> block)>;

// The half-duplex cycle of the client: while the member listens, the jitter
// queue plays through the output device in 125 ms buffers; while the member
// talks, the microphone is recorded block by block and each block is sent.
class AudioWorker {
 public:
  AudioWorker(SessionState& state, VoiceBlockQueue& queue, LevelMeterState& meters, VoiceDevices devices,
              VoiceBlockSender send_voice_block, DeviceFailureHandler on_failure)
      : state_(state),
        queue_(queue),
        meters_(meters),
        devices_(std::move(devices)),
        send_voice_block_(std::move(send_voice_block)),
        on_failure_(std::move(on_failure)) {}

  // Cycles until `AudioRunning` drops to 0 or a stop is requested, then sets
  // `AudioRunning` to 99.
  void run(std::stop_token stop);

  enum class StageEnd { Talk, Stopped, DeviceLost, OpenFailed };

  // Plays the queue until the member talks or the worker must end. A device
  // that stops taking or returning buffers (the sound server went away) ends
  // the stage too; the worker then opens it again.
  StageEnd run_playback_stage(std::stop_token stop);
  // Records and sends blocks while the member talks; false when the capture
  // device could not be opened.
  bool run_transmission(std::stop_token stop);

 private:
  bool keep_running(std::stop_token stop) const;

  SessionState& state_;
  VoiceBlockQueue& queue_;
  LevelMeterState& meters_;
  VoiceDevices devices_;
  VoiceBlockSender send_voice_block_;
  DeviceFailureHandler on_failure_;
  // The red cell of the NETWORK ring while the queue plays; kept between stages.
  int RingCursor = 0;
};

}  // namespace marvok
