// How many speech datagrams per second the client's receiver takes in
// without loss: first the handling alone, then through a real loopback socket
// with a sender paced at rising rates. Prints figures; never fails on time.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/playback_queue.h"
#include "platform/worker_threads.h"
#include "relay/voice_receiver.h"

namespace {

using namespace marvok;
using namespace std::chrono;

constexpr std::uint32_t kLoopback = 0x7F000001;

std::vector<std::uint8_t> speech_datagram(std::uint8_t sequence) {
  relay::Buffer buffer{};
  std::array<std::uint8_t, relay::kVoiceBlockSize> block{};
  block.fill(0x11);
  const std::size_t size = relay::write_forwarded_pcm(buffer, relay::VoiceKind::PcmA, sequence, 7, block);
  return {buffer.begin(), buffer.begin() + size};
}

void measure_handling() {
  SessionState state;
  VoiceBlockQueue queue;
  relay::VoiceReceiver receiver(state, queue, [](std::span<const std::uint8_t>) { return 0; });
  receiver.start();
  std::vector<std::vector<std::uint8_t>> datagrams;
  for (int s = 0; s < 256; ++s) datagrams.push_back(speech_datagram(static_cast<std::uint8_t>(s)));
  constexpr int kCount = 2'000'000;
  const auto start = steady_clock::now();
  for (int i = 0; i < kCount; ++i) receiver.handle_datagram(datagrams[static_cast<std::size_t>((i + 1) % 256)]);
  const double seconds = duration<double>(steady_clock::now() - start).count();
  std::printf("handling only:   %.0f datagrams/s (%.2f us each, 1024-byte PCM into the jitter queue)\n",
              kCount / seconds, seconds / kCount * 1e6);
}

// Sends `rate` datagrams per second for `period`, returns how many the receiver accepted.
std::uint64_t accepted_at_rate(int rate, milliseconds period) {
  relay::RelaySession session;
  session.relay_address = kLoopback;
  session.VoiceSocket = *platform::UdpSocket::open_bound({kLoopback, 0});
  const platform::Endpoint client = *session.VoiceSocket.local_endpoint();
  const auto sender = platform::UdpSocket::open_bound({kLoopback, 0});

  SessionState state;
  VoiceBlockQueue queue;
  relay::VoiceReceiver receiver(state, queue, [](std::span<const std::uint8_t>) { return 0; });
  WorkerThreads workers;
  workers.start([&](std::stop_token stop) { relay::run_voice_receiver(stop, session, receiver); });
  std::this_thread::sleep_for(50ms);

  std::vector<std::vector<std::uint8_t>> datagrams;
  for (int s = 0; s < 256; ++s) datagrams.push_back(speech_datagram(static_cast<std::uint8_t>(s)));
  const long total = static_cast<long>(rate) * period.count() / 1000;
  const auto start = steady_clock::now();
  for (long i = 0; i < total; ++i) {
    const auto due = start + nanoseconds(static_cast<long>(1e9 * static_cast<double>(i) / rate));
    while (steady_clock::now() < due) {
    }
    sender->send_to(datagrams[static_cast<std::size_t>((i + 1) % 256)], client);
  }
  std::this_thread::sleep_for(200ms);
  workers.stop_all();
  return receiver.accepted_count();
}

}  // namespace

int main(int argc, char** argv) {
  const milliseconds period(argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000);
  measure_handling();
  int best = 0;
  for (int rate : {5'000, 10'000, 20'000, 40'000, 80'000, 160'000}) {
    const long sent = static_cast<long>(rate) * period.count() / 1000;
    const std::uint64_t accepted = accepted_at_rate(rate, period);
    const long lost = sent - static_cast<long>(accepted);
    std::printf("through socket:  %6d datagrams/s sent, %ld accepted, %ld lost\n", rate, static_cast<long>(accepted),
                lost);
    if (lost == 0) best = rate;
  }
  std::printf("receiver sustains %d datagrams/s without loss (target: 20000)\n", best);
  return 0;
}
