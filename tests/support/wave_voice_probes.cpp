// The probes as wave devices of their own: the sink behind the microphone
// and the speaker's monitor are wave devices by their descriptions.

#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>

#include "platform/windows/wave_devices.h"
#include "support/voice_probes.h"

namespace marvok::testing {

namespace {

constexpr int kProbeRate = 8000;
constexpr WAVEFORMATEX kProbeFormat{WAVE_FORMAT_PCM, 2, kProbeRate, 4 * kProbeRate, 4, 16, 0};
// 40 ms a buffer; sixteen of them queued keep the feed whole on a busy machine.
constexpr std::size_t kFrames = 320;
constexpr std::size_t kBuffers = 16;

template <class Caps, class GetCaps>
UINT device_named(const std::wstring& name, UINT count, GetCaps get_caps) {
  for (UINT id = 0; id < count; ++id) {
    Caps caps{};
    if (get_caps(id, &caps, sizeof caps) == MMSYSERR_NOERROR && name == caps.szPname) return id;
  }
  return WAVE_MAPPER - 1;  // no such device
}

struct ProbeBuffer {
  WAVEHDR header{};
  std::array<std::int16_t, 2 * kFrames> samples{};
};

}  // namespace

struct MicrophoneFeed::Player {
  HWAVEOUT device = nullptr;
  std::array<ProbeBuffer, kBuffers> buffers;
  long frame = 0;
  std::jthread thread;

  void fill_and_write(ProbeBuffer& buffer) {
    for (std::size_t i = 0; i < buffer.samples.size(); i += 2, ++frame) {
      const double seconds = static_cast<double>(frame) / kProbeRate;
      const double level = std::min(2000.0 + 6000.0 * seconds, 30000.0);
      buffer.samples[i] = buffer.samples[i + 1] =
          static_cast<std::int16_t>(level * std::sin(2 * std::numbers::pi * 1000.0 * seconds));
    }
    if (buffer.header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device, &buffer.header, sizeof buffer.header);
    buffer.header = WAVEHDR{};
    buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.samples.data());
    buffer.header.dwBufferLength = sizeof buffer.samples;
    waveOutPrepareHeader(device, &buffer.header, sizeof buffer.header);
    waveOutWrite(device, &buffer.header, sizeof buffer.header);
  }

  ~Player() {
    thread = {};
    if (!device) return;
    waveOutReset(device);
    for (ProbeBuffer& buffer : buffers) waveOutUnprepareHeader(device, &buffer.header, sizeof buffer.header);
    waveOutClose(device);
  }
};

MicrophoneFeed::MicrophoneFeed() : player_(std::make_unique<Player>()) {
  const UINT id = device_named<WAVEOUTCAPSW>(L"MicFeed", waveOutGetNumDevs(), waveOutGetDevCapsW);
  if (waveOutOpen(&player_->device, id, &kProbeFormat, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    player_->device = nullptr;
    return;
  }
  for (ProbeBuffer& buffer : player_->buffers) player_->fill_and_write(buffer);
  player_->thread = std::jthread([player = player_.get()](std::stop_token stop) {
    std::size_t next = 0;
    while (!stop.stop_requested()) {
      if (platform::header_flags(player->buffers[next].header) & WHDR_DONE) {
        player->fill_and_write(player->buffers[next]);
        next = (next + 1) % kBuffers;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
  });
  // The tests record from the first block on: the tone must be through.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

MicrophoneFeed::~MicrophoneFeed() = default;

bool MicrophoneFeed::running() const { return player_->device != nullptr; }

struct SpeakerRecording::Recorder {
  HWAVEIN device = nullptr;
  std::array<ProbeBuffer, kBuffers> buffers;
  std::mutex mutex;
  std::vector<std::int16_t> samples;
  std::jthread thread;

  void add(ProbeBuffer& buffer) {
    if (buffer.header.dwFlags & WHDR_PREPARED) waveInUnprepareHeader(device, &buffer.header, sizeof buffer.header);
    buffer.header = WAVEHDR{};
    buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.samples.data());
    buffer.header.dwBufferLength = sizeof buffer.samples;
    waveInPrepareHeader(device, &buffer.header, sizeof buffer.header);
    waveInAddBuffer(device, &buffer.header, sizeof buffer.header);
  }

  void close() {
    thread = {};
    if (!device) return;
    waveInReset(device);
    for (ProbeBuffer& buffer : buffers) waveInUnprepareHeader(device, &buffer.header, sizeof buffer.header);
    waveInClose(device);
    device = nullptr;
  }
};

SpeakerRecording::SpeakerRecording() : recorder_(std::make_unique<Recorder>()) {
  const UINT id = device_named<WAVEINCAPSW>(L"Monitor of Speaker", waveInGetNumDevs(), waveInGetDevCapsW);
  if (waveInOpen(&recorder_->device, id, &kProbeFormat, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    recorder_->device = nullptr;
    return;
  }
  for (ProbeBuffer& buffer : recorder_->buffers) recorder_->add(buffer);
  waveInStart(recorder_->device);
  recorder_->thread = std::jthread([recorder = recorder_.get()](std::stop_token stop) {
    std::size_t next = 0;
    while (!stop.stop_requested()) {
      ProbeBuffer& buffer = recorder->buffers[next];
      if (!(platform::header_flags(buffer.header) & WHDR_DONE)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      {
        const std::lock_guard lock(recorder->mutex);
        for (std::size_t i = 0; i < buffer.samples.size(); i += 2) recorder->samples.push_back(buffer.samples[i]);
      }
      recorder->add(buffer);
      next = (next + 1) % kBuffers;
    }
  });
}

SpeakerRecording::~SpeakerRecording() { recorder_->close(); }

bool SpeakerRecording::running() const { return recorder_->device != nullptr; }

std::vector<std::int16_t> SpeakerRecording::stop() {
  recorder_->close();
  const std::lock_guard lock(recorder_->mutex);
  return recorder_->samples;
}

}  // namespace marvok::testing
