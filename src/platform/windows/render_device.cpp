// Float output to the default output endpoint, in shared mode: the caller
// keeps the endpoint's buffer filled as the audio engine drains it.

#include <windows.h>
// These need the types of the one above.
#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <chrono>
#include <cstring>
#include <optional>

#include "platform/audio_devices.h"
#include "platform/windows/com.h"
#include "platform/windows/core_audio.h"

namespace marvok::platform {

namespace {

struct TaskMemoryFree {
  void operator()(void* memory) const { CoTaskMemFree(memory); }
};

// The endpoint interfaces need the calling thread in an apartment; the
// threads that render join the shared one and stay in it until they end.
void join_apartment() { thread_local const ComApartment apartment(COINIT_MULTITHREADED); }

// 00000003-0000-0010-8000-00aa00389b71: samples that are IEEE floats.
constexpr GUID kFloatSubFormat{0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr WORD kFloatBits = 32;
constexpr REFERENCE_TIME kUnitsPerMs = 10'000;

bool is_render_format(const WAVEFORMATEX& format) {
  if (format.nSamplesPerSec != kRenderFramesPerSecond || format.nChannels != kRenderChannels ||
      format.wBitsPerSample != kFloatBits)
    return false;
  if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return true;
  if (format.wFormatTag != WAVE_FORMAT_EXTENSIBLE ||
      format.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX))
    return false;
  WAVEFORMATEXTENSIBLE extensible;
  std::memcpy(&extensible, &format, sizeof extensible);
  return IsEqualGUID(extensible.SubFormat, kFloatSubFormat);
}

WAVEFORMATEXTENSIBLE render_format() {
  WAVEFORMATEXTENSIBLE format{};
  format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  format.Format.nChannels = kRenderChannels;
  format.Format.nSamplesPerSec = kRenderFramesPerSecond;
  format.Format.wBitsPerSample = kFloatBits;
  format.Format.nBlockAlign = kRenderChannels * sizeof(float);
  format.Format.nAvgBytesPerSec = kRenderFramesPerSecond * format.Format.nBlockAlign;
  format.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
  format.Samples.wValidBitsPerSample = kFloatBits;
  format.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
  format.SubFormat = kFloatSubFormat;
  return format;
}

// A stream the engine has stopped draining for this long is taken as lost:
// an endpoint whose back end went away may keep answering, only full.
constexpr std::chrono::milliseconds kLongestStall{2000};

class EndpointRenderDevice final : public RenderDevice {
 public:
  EndpointRenderDevice(ComPtr<IAudioClient> client, ComPtr<IAudioRenderClient> render, std::size_t buffer_frames)
      : client_(std::move(client)), render_(std::move(render)), buffer_frames_(buffer_frames) {}

  ~EndpointRenderDevice() override { client_->Stop(); }

  EndpointRenderDevice(const EndpointRenderDevice&) = delete;
  EndpointRenderDevice& operator=(const EndpointRenderDevice&) = delete;

  int channels() const override { return kRenderChannels; }
  int frames_per_second() const override { return kRenderFramesPerSecond; }
  std::size_t buffer_frames() const override { return buffer_frames_; }

  std::size_t writable_frames() const override {
    const std::optional<std::size_t> queued = queued_frames();
    return queued ? buffer_frames_ - *queued : 0;
  }

  bool write(std::span<const float> samples) override {
    if (!queued_frames()) return false;
    const std::size_t frames = samples.size() / kRenderChannels;
    if (frames == 0) return true;
    if (frames > buffer_frames_) return false;
    BYTE* area = nullptr;
    if (FAILED(render_->GetBuffer(static_cast<UINT32>(frames), &area))) return false;
    std::memcpy(area, samples.data(), frames * kRenderChannels * sizeof(float));
    if (FAILED(render_->ReleaseBuffer(static_cast<UINT32>(frames), 0))) return false;
    queued_ += frames;
    return true;
  }

  bool start() override {
    if (!queued_frames()) return false;
    const HRESULT result = client_->Start();
    if (FAILED(result) && result != AUDCLNT_E_NOT_STOPPED) return false;
    started_ = true;
    last_drained_ = std::chrono::steady_clock::now();
    return true;
  }

 private:
  // The frames the engine has yet to play; nothing once the stream failed
  // or stalled, for good.
  std::optional<std::size_t> queued_frames() const {
    UINT32 padding = 0;
    if (lost_ || FAILED(client_->GetCurrentPadding(&padding)) || padding > buffer_frames_) {
      lost_ = true;
      return std::nullopt;
    }
    const auto now = std::chrono::steady_clock::now();
    if (padding < queued_ || padding == 0) last_drained_ = now;
    queued_ = padding;
    if (started_ && now - last_drained_ > kLongestStall) {
      lost_ = true;
      return std::nullopt;
    }
    return padding;
  }

  ComPtr<IAudioClient> client_;
  ComPtr<IAudioRenderClient> render_;
  std::size_t buffer_frames_;
  bool started_ = false;
  mutable bool lost_ = false;
  mutable std::size_t queued_ = 0;
  mutable std::chrono::steady_clock::time_point last_drained_;
};

}  // namespace

std::unique_ptr<RenderDevice> open_render_device(int buffer_ms) {
  join_apartment();
  HRESULT status = S_OK;
  const ComPtr<IMMDeviceEnumerator> enumerator = core_audio::open_enumerator(status);
  if (!enumerator) return nullptr;
  ComPtr<IMMDevice> endpoint;
  if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, endpoint.put()))) return nullptr;
  ComPtr<IAudioClient> client;
  if (FAILED(endpoint->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, client.put_void()))) return nullptr;
  WAVEFORMATEX* mix_raw = nullptr;
  if (FAILED(client->GetMixFormat(&mix_raw))) return nullptr;
  const std::unique_ptr<WAVEFORMATEX, TaskMemoryFree> mix(mix_raw);

  // The engine's own format is taken as it is; any other is converted by
  // the engine from ours, so the frames written are always the same kind.
  const bool native = is_render_format(*mix);
  const WAVEFORMATEXTENSIBLE ours = render_format();
  const DWORD flags = native ? 0 : AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;
  const REFERENCE_TIME duration = buffer_ms > 0 ? buffer_ms * kUnitsPerMs : 0;
  if (FAILED(
          client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, duration, 0, native ? mix.get() : &ours.Format, nullptr)))
    return nullptr;
  UINT32 buffer_frames = 0;
  if (FAILED(client->GetBufferSize(&buffer_frames))) return nullptr;
  ComPtr<IAudioRenderClient> render;
  if (FAILED(client->GetService(__uuidof(IAudioRenderClient), render.put_void()))) return nullptr;
  return std::make_unique<EndpointRenderDevice>(std::move(client), std::move(render), buffer_frames);
}

}  // namespace marvok::platform
