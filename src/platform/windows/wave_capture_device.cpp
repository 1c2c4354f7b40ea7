// The microphone through the wave input device: the device fills the
// caller's buffers in the order they were added and marks each one done;
// nothing runs on the device's side but the device itself.
#include <array>

#include "platform/audio_devices.h"
#include "platform/windows/wave_devices.h"

namespace marvok::platform {

namespace {

constexpr int kCaptureSlots = 3;

class WaveCaptureDevice final : public CaptureDevice {
 public:
  explicit WaveCaptureDevice(HWAVEIN device) : device_(device) {}

  ~WaveCaptureDevice() override {
    drop_all();
    waveInClose(device_);
  }

  WaveCaptureDevice(const WaveCaptureDevice&) = delete;
  WaveCaptureDevice& operator=(const WaveCaptureDevice&) = delete;

  void add_buffer(int slot, std::span<std::uint8_t, kCaptureBufferBytes> area) override {
    if (!valid(slot)) return;
    WAVEHDR& header = headers_[static_cast<std::size_t>(slot)];
    // A buffer still on the device cannot be taken back short of a reset:
    // it stays queued as it is.
    if (queued(header)) return;
    if (header_flags(header) & WHDR_PREPARED) waveInUnprepareHeader(device_, &header, sizeof header);
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<LPSTR>(area.data());
    header.dwBufferLength = static_cast<DWORD>(area.size());
    if (waveInPrepareHeader(device_, &header, sizeof header) != MMSYSERR_NOERROR) return;
    if (waveInAddBuffer(device_, &header, sizeof header) != MMSYSERR_NOERROR) {
      waveInUnprepareHeader(device_, &header, sizeof header);
      header = WAVEHDR{};
    }
  }

  bool is_done(int slot) const override {
    if (!valid(slot)) return false;
    const DWORD flags = header_flags(headers_[static_cast<std::size_t>(slot)]);
    return (flags & WHDR_PREPARED) && (flags & WHDR_DONE);
  }

  void start() override { waveInStart(device_); }

  void stop_and_reset() override { drop_all(); }

 private:
  static bool valid(int slot) { return slot >= 0 && slot < kCaptureSlots; }

  static bool queued(const WAVEHDR& header) {
    const DWORD flags = header_flags(header);
    return (flags & WHDR_PREPARED) && !(flags & WHDR_DONE);
  }

  // The reset hands back every queued buffer marked done, partly filled or
  // empty; their marks are cleared here, so that none reads as recorded.
  void drop_all() {
    waveInStop(device_);
    waveInReset(device_);
    for (WAVEHDR& header : headers_) {
      if (header_flags(header) & WHDR_PREPARED) waveInUnprepareHeader(device_, &header, sizeof header);
      header = WAVEHDR{};
    }
  }

  HWAVEIN device_;
  std::array<WAVEHDR, kCaptureSlots> headers_{};
};

}  // namespace

std::unique_ptr<CaptureDevice> open_capture_device(int device, DeviceError& error) {
  HWAVEIN handle = nullptr;
  const UINT id = device < 0 ? WAVE_MAPPER : static_cast<UINT>(device);
  // No callback: the caller learns that a buffer is full from its done mark.
  const MMRESULT result = waveInOpen(&handle, id, &kWaveVoiceFormat, 0, 0, CALLBACK_NULL);
  if (result != MMSYSERR_NOERROR) {
    error = {device_error_code(result), wave_system_reach(result)};
    return nullptr;
  }
  return std::make_unique<WaveCaptureDevice>(handle);
}

}  // namespace marvok::platform
