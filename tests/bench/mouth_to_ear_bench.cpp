// Mouth-to-ear latency of raw PCM speech on this machine: a tone burst fed
// into one client's microphone is captured, sent block by block through the
// relay server, received by a second client, queued and played; the burst is
// timed where it comes out of the speaker. Two processes play the two
// members (the client talks or listens, never both). Run it in a private
// network namespace with the test sound server:
//   tests/support/in_private_network.sh build/default/tests/bench/mouth_to_ear_bench <marvok-relay>
// Prints figures; never fails on time.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/audio_worker.h"
#include "platform/worker_threads.h"
#include "relay/relay_session.h"
#include "relay/voice_receiver.h"
#include "relay/voice_sender.h"
#include "state/session_state.h"
#include "support/sound_probe.h"

namespace {

using namespace marvok;
using namespace std::chrono;
using Clock = steady_clock;

constexpr std::uint32_t kLoopback = 0x7F000001;

VoiceDevices sound_server() { return {platform::open_output_device, platform::open_capture_device}; }

// One member's client: its state, its attachment to the relay, its queue and meters.
struct Member {
  SessionState state;
  relay::RelaySession relay;
  VoiceBlockQueue queue;
  LevelMeterState meters;
  relay::UnseenSpeech unseen;
};

void join_relay(WorkerThreads& workers, Member& member, std::uint16_t number) {
  member.state.identity.set_member_id(number);
  std::snprintf(member.state.identity.MachineId.data(), member.state.identity.MachineId.size(), "%016u", number);
  relay::relay_setup(member.relay, kLoopback, member.state.lights);
  workers.start([&member](std::stop_token stop) {
    relay::run_presence_worker(stop, member.relay, member.state.identity, member.state.channel);
  });
}

// The talking member: holds the talk key and sends what its microphone hears.
[[noreturn]] void talk_for_ever() {
  WorkerThreads workers;
  Member talker;
  join_relay(workers, talker, 1);
  talker.state.talk.set_key(TalkValue::Pressed);
  relay::VoiceSender sender(talker.relay, talker.state.identity, talker.state.channel, talker.meters, talker.unseen);
  AudioWorker worker(
      talker.state, talker.queue, talker.meters, sound_server(),
      [&sender](std::span<const std::uint8_t, kVoiceBlockBytes> block) { sender.send_voice_block(block); },
      [](VoiceDevice, int) { std::_Exit(3); });
  workers.start([&](std::stop_token stop) { worker.run(stop); });
  for (;;) pause();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: mouth_to_ear_bench <marvok-relay executable> [bursts]\n");
    return 2;
  }
  const int bursts = argc > 2 ? static_cast<int>(std::strtol(argv[2], nullptr, 10)) : 5;
  const pid_t relay = fork();
  if (relay == 0) {
    execl(argv[1], argv[1], "--address", "127.0.0.1", static_cast<char*>(nullptr));
    std::_Exit(4);
  }
  std::this_thread::sleep_for(300ms);
  const pid_t talker = fork();
  if (talker == 0) talk_for_ever();

  WorkerThreads workers;
  Member me;
  join_relay(workers, me, 2);
  relay::VoiceReceiver receiver(
      me.state, me.queue, [](std::span<const std::uint8_t>) { return 0; }, me.unseen);
  workers.start([&](std::stop_token stop) { relay::run_voice_receiver(stop, me.relay, receiver); });
  AudioWorker listener(
      me.state, me.queue, me.meters, sound_server(), [](auto) {}, [](VoiceDevice, int) { std::_Exit(3); });
  workers.start([&](std::stop_token stop) { listener.run(stop); });
  std::this_thread::sleep_for(1500ms);  // both members present, devices running

  std::vector<double> measured;
  for (int i = 0; i < bursts; ++i) {
    // Record the speaker from before the burst; the recording's first sample
    // is taken as the moment the recording started.
    std::vector<std::int16_t> heard;
    Clock::time_point recording_started;
    std::jthread recorder([&] {
      recording_started = Clock::now();
      heard = testing::record("spk.monitor", 2000ms);
    });
    std::this_thread::sleep_for(400ms);
    const Clock::time_point fed = Clock::now();
    {
      testing::ToneFeeder burst("mic", 1000.0, 0.6);
      std::this_thread::sleep_for(300ms);
    }
    recorder.join();
    std::size_t onset = 0;
    while (onset < heard.size() && std::abs(static_cast<int>(heard[onset])) < 4000) ++onset;
    if (onset == heard.size()) {
      std::printf("burst %d: not heard\n", i + 1);
      continue;
    }
    const double heard_ms =
        duration<double, std::milli>(recording_started - fed).count() + 1000.0 * static_cast<double>(onset) / 8000.0;
    measured.push_back(heard_ms);
    std::printf("burst %d: heard %.1f ms after it was fed\n", i + 1, heard_ms);
    std::this_thread::sleep_for(700ms);
  }

  kill(talker, SIGKILL);
  kill(relay, SIGTERM);
  waitpid(talker, nullptr, 0);
  waitpid(relay, nullptr, 0);
  workers.stop_all();

  if (measured.empty()) return 0;
  std::sort(measured.begin(), measured.end());
  const double median = measured[measured.size() / 2];
  // One block recorded and the two 125 ms output buffers ahead of it, with no
  // wait in the queue: the design's floor.
  const double floor_ms = 31.25 + 2 * 125.0;
  std::printf("mouth to ear: median %.1f ms, range %.1f to %.1f ms over %zu bursts\n", median, measured.front(),
              measured.back(), measured.size());
  std::printf("design floor %.2f ms (block + two output buffers): median is %+.1f ms from it\n", floor_ms,
              median - floor_ms);
  std::printf("(includes the probe's own feed and record buffering, about 20 ms each)\n");
  return 0;
}
