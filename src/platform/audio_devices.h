#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "state/voice_format.h"

// The sound devices the audio engine uses, over the sound server. Voice audio
// is always 16-bit little-endian stereo at 8000 frames per second.
namespace marvok::platform {

using marvok::kVoiceChannels;
using marvok::kVoiceFramesPerSecond;
inline constexpr std::size_t kCaptureBufferBytes = kVoiceBlockBytes;
inline constexpr std::size_t kOutputBufferBytes = 4 * kVoiceBlockBytes;

// Whether the sound server answered at all. One that cannot be reached may
// be restarting, which says nothing about the device itself.
enum class ServerReach { Reached, Unreachable };

// Why a device could not be opened: a code shown to the member, never 0.
struct DeviceError {
  int code = 0;
  ServerReach server = ServerReach::Reached;
};

// Records the microphone into buffers of 1000 bytes. The device fills the
// buffers in the order they were added and marks each one done when full;
// the caller polls the done marks and hands each buffer back after use.
class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;

  // Queues `area` as buffer `slot` (0 to 2), clearing its done mark. The area
  // stays the caller's and must live until the buffer is done or the device reset.
  virtual void add_buffer(int slot, std::span<std::uint8_t, kCaptureBufferBytes> area) = 0;
  virtual bool is_done(int slot) const = 0;
  virtual void start() = 0;
  // Stops recording and drops every buffer still queued, full or not.
  virtual void stop_and_reset() = 0;
};

// Opens the input device `device` (-1 for the system's default) in the voice
// format; on failure sets `error` and returns nothing.
std::unique_ptr<CaptureDevice> open_capture_device(int device, DeviceError& error);

// Plays voice buffers of 4000 bytes (125 ms) in the order written, paced by
// the device: `on_buffer_done` runs, on the device's thread, once per buffer
// when it has been played.
class OutputDevice {
 public:
  virtual ~OutputDevice() = default;
  // Copies the buffer and queues it for playing; false when the device has
  // failed (the sound server went away) and nothing was queued.
  virtual bool write(std::span<const std::uint8_t, kOutputBufferBytes> buffer) = 0;
};

std::unique_ptr<OutputDevice> open_output_device(std::function<void()> on_buffer_done, DeviceError& error);

// Float output to the default output device: 48000 Hz stereo float frames,
// which the sound server converts to the device's own format. The caller
// keeps the buffer filled as the device drains it.
class RenderDevice {
 public:
  virtual ~RenderDevice() = default;
  virtual int channels() const = 0;
  virtual int frames_per_second() const = 0;
  // Frames the device's buffer holds in all.
  virtual std::size_t buffer_frames() const = 0;
  // Frames that can be written now without waiting.
  virtual std::size_t writable_frames() const = 0;
  // Writes interleaved float frames; false when the device has failed.
  virtual bool write(std::span<const float> samples) = 0;
  virtual bool start() = 0;
};

inline constexpr int kRenderFramesPerSecond = 48000;
inline constexpr int kRenderChannels = 2;

// Opens the default output for float frames with a buffer of about
// `buffer_ms`; nothing when the sound server refuses.
std::unique_ptr<RenderDevice> open_render_device(int buffer_ms);

}  // namespace marvok::platform
