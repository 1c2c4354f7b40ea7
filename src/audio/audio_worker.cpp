#include "audio/audio_worker.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "audio/level_meter.h"
#include "platform/worker_threads.h"
#include "state/session_state.h"

namespace marvok {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPollPeriod{10};
constexpr int kOutputBuffers = 2;
constexpr int kCaptureBuffers = 3;
// A device that stops returning buffers must not hold the worker for ever.
constexpr milliseconds kLongestDrain{2000};
// How often a pause before opening a device again looks whether the client ends.
constexpr milliseconds kEndCheckPeriod{50};

// How many of the two output buffers are not queued on the device. The
// device's completion signal and the stage both change it, under the lock.
class FreeOutputBuffers {
 public:
  void take() {
    std::lock_guard lock(OutputLock);
    --FreeOutputCount;
  }
  void give_back() {
    // Notified under the lock: the stage may destroy this as soon as it sees the count.
    std::lock_guard lock(OutputLock);
    ++FreeOutputCount;
    returned_.notify_all();
  }
  int count() const {
    std::lock_guard lock(OutputLock);
    return FreeOutputCount;
  }
  // Waits at most `period` for a buffer to come back, waking as soon as one
  // does rather than polling: the stage then sleeps while a buffer plays.
  void wait_for_one(std::stop_token stop, milliseconds period) {
    std::unique_lock lock(OutputLock);
    wait_unless_stopped(
        returned_, lock, stop, [this] { return FreeOutputCount > 0; }, std::chrono::steady_clock::now() + period);
  }

 private:
  mutable std::mutex OutputLock;
  std::condition_variable returned_;
  int FreeOutputCount = kOutputBuffers;
};

}  // namespace

bool AudioWorker::keep_running(std::stop_token stop) const { return !stop.stop_requested(); }

bool AudioWorker::pause_unless_ending(std::stop_token stop, milliseconds pause) const {
  const auto until = std::chrono::steady_clock::now() + pause;
  while (keep_running(stop)) {
    const auto left = std::chrono::ceil<milliseconds>(until - std::chrono::steady_clock::now());
    if (left <= milliseconds::zero()) return true;
    sleep_unless_stopped(stop, std::min(left, kEndCheckPeriod));
  }
  return false;
}

void AudioWorker::run(std::stop_token stop) {
  for (;;) {
    StageEnd end = run_playback_stage(stop);
    // Leaving because the client ends: the microphone is not opened again.
    if (end == StageEnd::Talk && keep_running(stop)) end = run_transmission(stop);
    if (end == StageEnd::OpenFailed || !keep_running(stop)) break;
    if (end != StageEnd::DeviceLost) {
      reopen_pause_.reset();
      continue;
    }
    // The sound server is restarting or gone: whichever device the member
    // needs is opened again once it answers, tried less often while it stays away.
    if (!pause_unless_ending(stop, reopen_pause_.next())) break;
  }
}

AudioWorker::StageEnd AudioWorker::run_playback_stage(std::stop_token stop) {
  FreeOutputBuffers free_buffers;
  platform::DeviceError error;
  auto device = devices_.open_output([&free_buffers] { free_buffers.give_back(); }, error);
  if (!device) {
    if (output_opened_) return StageEnd::DeviceLost;
    on_failure_(VoiceDevice::Playback, error.code);
    return StageEnd::OpenFailed;
  }
  output_opened_ = true;

  std::array<std::uint8_t, kOutputBufferBytes> buffer{};
  auto& ring = state_.lights.NetworkRing;
  bool device_lost = false;
  while (!device_lost && !state_.talk.is_talking() && keep_running(stop)) {
    state_.lights.PlaybackCursorCell.store(RingCursor, std::memory_order_relaxed);
    set_led(ring[static_cast<std::size_t>(RingCursor)], LedColor::Blue);
    queue_.shift_out(buffer);
    RingCursor = (RingCursor + 1) % static_cast<int>(kNetworkRingCells);
    set_led(ring[static_cast<std::size_t>(RingCursor)], LedColor::Red);

    if (!device->write(buffer)) {
      device_lost = true;
      break;
    }
    free_buffers.take();
    const auto given_up_at = std::chrono::steady_clock::now() + kLongestDrain;
    while (free_buffers.count() == 0 && !stop.stop_requested()) {
      if (std::chrono::steady_clock::now() > given_up_at) {
        device_lost = true;  // the device no longer returns buffers
        break;
      }
      free_buffers.wait_for_one(stop, kLongestDrain);
    }
    measure_block_levels(std::span<const std::uint8_t>(buffer).first(400), MeterBars::Update, meters_);
  }

  // Let both buffers finish playing before the device closes.
  const auto until = std::chrono::steady_clock::now() + kLongestDrain;
  while (!device_lost && free_buffers.count() < kOutputBuffers && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(kPollPeriod);
  device.reset();
  if (device_lost) return StageEnd::DeviceLost;
  return state_.talk.is_talking() ? StageEnd::Talk : StageEnd::Stopped;
}

AudioWorker::StageEnd AudioWorker::run_transmission(std::stop_token stop) {
  platform::DeviceError error;
  auto device = devices_.open_capture(state_.devices.SelectedInputDevice.load(std::memory_order_relaxed), error);
  if (!device) {
    // A press while the sound server restarts waits for it; a microphone the
    // working server refuses will not come.
    if (error.server == platform::ServerReach::Unreachable) return StageEnd::DeviceLost;
    on_failure_(VoiceDevice::Capture, error.code);
    return StageEnd::OpenFailed;
  }

  using Area = std::array<std::uint8_t, platform::kCaptureBufferBytes>;
  const auto areas = std::make_unique<std::array<Area, kCaptureBuffers>>();
  for (int slot = 0; slot < kCaptureBuffers; ++slot) device->add_buffer(slot, (*areas)[static_cast<std::size_t>(slot)]);
  device->start();
  set_led(state_.lights.TxRxLed, LedColor::Red);

  int CaptureIndex = 0;
  // A block is due every 31 ms: a microphone silent for much longer went
  // with the sound server.
  auto last_block = std::chrono::steady_clock::now();
  bool device_lost = false;
  while (state_.talk.is_talking() && keep_running(stop)) {
    if (device->is_done(CaptureIndex)) {
      Area& area = (*areas)[static_cast<std::size_t>(CaptureIndex)];
      send_voice_block_(area);
      device->add_buffer(CaptureIndex, area);
      CaptureIndex = (CaptureIndex + 1) % kCaptureBuffers;
      last_block = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - last_block > kLongestDrain) {
      device_lost = true;
      break;
    }
    sleep_unless_stopped(stop, kPollPeriod);
  }

  // Whatever is partly recorded is dropped with the buffers still queued.
  device->stop_and_reset();
  device.reset();
  set_led(state_.lights.TxRxLed, LedColor::Blue);
  return device_lost ? StageEnd::DeviceLost : StageEnd::Stopped;
}

}  // namespace marvok
