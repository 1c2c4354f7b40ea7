#include "audio/render_worker.h"

#include <chrono>
#include <vector>

#include "platform/worker_threads.h"

namespace marvok {

namespace {

// Fills `frames` frames of the device from the ring and writes them.
bool fill_from_ring(platform::RenderDevice& device, RenderRing& ring, std::size_t frames, std::vector<float>& scratch) {
  scratch.resize(frames * static_cast<std::size_t>(device.channels()));
  ring.read_into(scratch);
  return device.write(scratch);
}

}  // namespace

void run_render_stage(std::stop_token stop, platform::RenderDevice& device, RenderRing& ring) {
  std::vector<float> scratch;
  const std::size_t buffer_frames = device.buffer_frames();
  if (!fill_from_ring(device, ring, buffer_frames, scratch) || !device.start()) return;
  const auto half_buffer = std::chrono::milliseconds(
      static_cast<long>(static_cast<double>(buffer_frames) * 1000.0 / device.frames_per_second() / 2));
  while (sleep_unless_stopped(stop, half_buffer)) {
    if (!fill_from_ring(device, ring, device.writable_frames(), scratch)) return;
  }
}

void run_render_worker(std::stop_token stop, const RenderDeviceOpener& open_device, RenderRing& ring,
                       ReopenPause pause) {
  for (;;) {
    if (const auto device = open_device()) {
      pause.reset();
      run_render_stage(stop, *device, ring);
    }
    if (!sleep_unless_stopped(stop, pause.next())) return;
  }
}

}  // namespace marvok
