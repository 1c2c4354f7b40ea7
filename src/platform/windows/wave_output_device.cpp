// Voice playback through the wave output device: each buffer is copied into
// a header of its own, and the device reports each one when it has played it.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/audio_devices.h"
#include "platform/windows/wave_devices.h"

namespace marvok::platform {

namespace {

struct OutputBlock {
  WAVEHDR header{};
  std::array<std::uint8_t, kOutputBufferBytes> data{};
};

class WaveOutputDevice final : public OutputDevice {
 public:
  explicit WaveOutputDevice(std::function<void()> on_buffer_done) : on_buffer_done_(std::move(on_buffer_done)) {}

  // The reset hands back what is still queued as played: those are not
  // reported, as the caller no longer waits for them. The device's thread
  // may still be in a callback while this runs: once the flag is set no
  // report starts, and the close's own message, its last, is waited for
  // before the callback's object goes.
  ~WaveOutputDevice() override {
    if (device_) {
      {
        const std::lock_guard lock(reporting_);
        closing_ = true;
      }
      waveOutReset(device_);
      for (const auto& block : blocks_) {
        if (header_flags(block->header) & WHDR_PREPARED)
          waveOutUnprepareHeader(device_, &block->header, sizeof block->header);
      }
      if (waveOutClose(device_) == MMSYSERR_NOERROR) WaitForSingleObject(closed_, INFINITE);
    }
    if (closed_) CloseHandle(closed_);
  }

  WaveOutputDevice(const WaveOutputDevice&) = delete;
  WaveOutputDevice& operator=(const WaveOutputDevice&) = delete;

  MMRESULT open() {
    if (!closed_) return MMSYSERR_NOMEM;
    const MMRESULT result =
        waveOutOpen(&device_, WAVE_MAPPER, &kWaveVoiceFormat, reinterpret_cast<DWORD_PTR>(&on_device_message),
                    reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
    if (result != MMSYSERR_NOERROR) device_ = nullptr;
    return result;
  }

  bool write(std::span<const std::uint8_t, kOutputBufferBytes> buffer) override {
    if (failed_) return false;
    OutputBlock& block = free_block();
    std::memcpy(block.data.data(), buffer.data(), buffer.size());
    block.header = WAVEHDR{};
    block.header.lpData = reinterpret_cast<LPSTR>(block.data.data());
    block.header.dwBufferLength = static_cast<DWORD>(block.data.size());
    if (waveOutPrepareHeader(device_, &block.header, sizeof block.header) != MMSYSERR_NOERROR) {
      block.header = WAVEHDR{};
      failed_ = true;
      return false;
    }
    if (waveOutWrite(device_, &block.header, sizeof block.header) != MMSYSERR_NOERROR) {
      // The device is gone: nothing more is played or reported.
      waveOutUnprepareHeader(device_, &block.header, sizeof block.header);
      block.header = WAVEHDR{};
      failed_ = true;
      return false;
    }
    return true;
  }

 private:
  // Runs on the device's thread, where no wave call may be made. The close's
  // message comes last: after it nothing here is touched again.
  static void CALLBACK on_device_message(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    // The device hands back, as an integer, the pointer given at open.
    auto* self = reinterpret_cast<WaveOutputDevice*>(instance);  // NOLINT(performance-no-int-to-ptr)
    if (message == WOM_CLOSE) {
      SetEvent(self->closed_);
      return;
    }
    if (message != WOM_DONE) return;
    const std::lock_guard lock(self->reporting_);
    if (!self->closing_ && self->on_buffer_done_) self->on_buffer_done_();
  }

  // A block the device has finished with, made ready again, or a new one:
  // as many exist as the caller keeps queued at most.
  OutputBlock& free_block() {
    for (const auto& block : blocks_) {
      const DWORD flags = header_flags(block->header);
      if (!(flags & WHDR_PREPARED)) return *block;
      if (flags & WHDR_DONE) {
        waveOutUnprepareHeader(device_, &block->header, sizeof block->header);
        return *block;
      }
    }
    return *blocks_.emplace_back(std::make_unique<OutputBlock>());
  }

  std::function<void()> on_buffer_done_;
  HWAVEOUT device_ = nullptr;
  // Set by the device's thread when the close has gone through.
  HANDLE closed_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // Held while a buffer is reported, and to stop the reports.
  std::mutex reporting_;
  bool closing_ = false;
  bool failed_ = false;
  // Each block stays where it is while the device holds its header.
  std::vector<std::unique_ptr<OutputBlock>> blocks_;
};

}  // namespace

std::unique_ptr<OutputDevice> open_output_device(std::function<void()> on_buffer_done, DeviceError& error) {
  auto output = std::make_unique<WaveOutputDevice>(std::move(on_buffer_done));
  const MMRESULT result = output->open();
  if (result != MMSYSERR_NOERROR) {
    error = {device_error_code(result), wave_system_reach(result)};
    return nullptr;
  }
  return output;
}

}  // namespace marvok::platform
