#pragma once

#include <functional>
#include <memory>
#include <span>
#include <stop_token>

#include "audio/level_meter.h"
#include "audio/playback_queue.h"
#include "audio/reopen_pause.h"
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

// Told when a device cannot be opened at all, with the code to show; the
// worker then ends. A device lost to a restarting sound server is not told:
// the worker opens it again once the server is back.
using DeviceFailureHandler = std::function<void(VoiceDevice device, int code)>;
// Takes one recorded block; the block is only valid during the call.
using VoiceBlockSender = std::function<void(std::span<const std::uint8_t, kVoiceBlockBytes> block)>;

// The half-duplex cycle of the client: while the member listens, the jitter
// queue plays through the output device in 125 ms buffers; while the member
// talks, the microphone is recorded block by block and each block is sent.
class AudioWorker {
 public:
  AudioWorker(SessionState& state, VoiceBlockQueue& queue, LevelMeterState& meters, VoiceDevices devices,
              VoiceBlockSender send_voice_block, DeviceFailureHandler on_failure, ReopenPause reopen_pause = {})
      : state_(state),
        queue_(queue),
        meters_(meters),
        devices_(std::move(devices)),
        send_voice_block_(std::move(send_voice_block)),
        on_failure_(std::move(on_failure)),
        reopen_pause_(reopen_pause) {}

  // Cycles until a stop is requested or a device cannot be opened at all. A
  // device that was lost is opened again after a pause that grows while the
  // sound server stays away.
  void run(std::stop_token stop);

  // Talk: the member talks. Stopped: the member stopped talking, or the worker
  // must end. DeviceLost: the device failed, or cannot be opened for now.
  // OpenFailed: the device cannot be opened at all, which was reported.
  enum class StageEnd { Talk, Stopped, DeviceLost, OpenFailed };

  // Plays the queue until the member talks or the worker must end. A device
  // that stops taking or returning buffers (the sound server went away) ends
  // the stage too. Only the very first open of the output is reported when
  // it fails: once the output has played, a failure is a server on its way back.
  StageEnd run_playback_stage(std::stop_token stop);
  // Records and sends blocks while the member talks. A microphone that the
  // sound server refuses is reported; one it cannot be asked for, or that
  // stops recording, is a lost device.
  StageEnd run_transmission(std::stop_token stop);

 private:
  bool keep_running(std::stop_token stop) const;
  // Sleeps for `pause` unless the worker must end first; false if it must.
  bool pause_unless_ending(std::stop_token stop, std::chrono::milliseconds pause) const;

  SessionState& state_;
  VoiceBlockQueue& queue_;
  LevelMeterState& meters_;
  VoiceDevices devices_;
  VoiceBlockSender send_voice_block_;
  DeviceFailureHandler on_failure_;
  ReopenPause reopen_pause_;
  bool output_opened_ = false;
  // The red cell of the NETWORK ring while the queue plays; kept between stages.
  int RingCursor = 0;
};

}  // namespace marvok
