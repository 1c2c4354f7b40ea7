// How many speech datagrams per second the client's receiver takes in
// without loss: first the handling alone, then through a real loopback socket
// with a sender paced at rising rates. Prints figures; never fails on time.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/playback_queue.h"
#include "platform/worker_threads.h"
#include "receive_queue.h"
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
  relay::UnseenSpeech unseen;
  relay::VoiceReceiver receiver(
      state, queue, [](std::span<const std::uint8_t>) { return 0; }, unseen);
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

struct Outcome {
  std::uint64_t accepted = 0;
  long long queue_drops = 0;
};

// Sends `rate` datagrams per second for `period`; says how many the receiver
// accepted and how many the system dropped at the full receive queue.
// The receive queue: the system's default, what a member's unprivileged
// client gets on a stock Debian system (its request capped at the stock
// net.core.rmem_max of 212992 bytes), or all the client asks for.
enum class Queue { Default, StockCap, Asked };

Outcome run_at_rate(int rate, milliseconds period, Queue queue_size) {
  relay::RelaySession session;
  session.relay_address = kLoopback;
  session.VoiceSocket = *platform::UdpSocket::open_bound({kLoopback, 0});
  if (queue_size == Queue::StockCap) {
    bench::set_receive_queue(session.VoiceSocket, 212992);
  } else if (queue_size == Queue::Asked) {
    session.VoiceSocket.enlarge_receive_queue(relay::kVoiceReceiveQueueBytes);
  }
  const platform::Endpoint client = *session.VoiceSocket.local_endpoint();
  const auto sender = platform::UdpSocket::open_bound({kLoopback, 0});

  SessionState state;
  VoiceBlockQueue queue;
  relay::UnseenSpeech unseen;
  relay::VoiceReceiver receiver(
      state, queue, [](std::span<const std::uint8_t>) { return 0; }, unseen);
  WorkerThreads workers;
  workers.start([&](std::stop_token stop) { relay::run_voice_receiver(stop, session, receiver); });
  std::this_thread::sleep_for(50ms);

  std::vector<std::vector<std::uint8_t>> datagrams;
  for (int s = 0; s < 256; ++s) datagrams.push_back(speech_datagram(static_cast<std::uint8_t>(s)));
  const long long total = static_cast<long long>(rate) * period.count() / 1000;
  const long long drops_before = bench::receive_queue_drops();
  const auto start = steady_clock::now();
  for (long long i = 0; i < total; ++i) {
    const auto due = start + nanoseconds(static_cast<long long>(1e9 * static_cast<double>(i) / rate));
    while (steady_clock::now() < due) {
    }
    sender->send_to(datagrams[static_cast<std::size_t>((i + 1) % 256)], client);
  }
  std::this_thread::sleep_for(200ms);
  workers.stop_all();
  return {receiver.accepted_count(), bench::receive_queue_drops() - drops_before};
}

}  // namespace

int main(int argc, char** argv) {
  const milliseconds period(argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000);
  measure_handling();
  for (const Queue queue : {Queue::Default, Queue::StockCap, Queue::Asked}) {
    const char* name = queue == Queue::Default ? "default" : queue == Queue::StockCap ? "stock" : "asked";
    int best = 0;
    bool clean = true;
    for (int rate : {20'000, 50'000, 100'000, 150'000}) {
      const long long sent = static_cast<long long>(rate) * period.count() / 1000;
      const Outcome outcome = run_at_rate(rate, period, queue);
      const long long lost = sent - static_cast<long long>(outcome.accepted);
      std::printf("queue %7s: %6d datagrams/s sent, %lld accepted, %lld lost (%lld at the full queue)\n", name, rate,
                  static_cast<long long>(outcome.accepted), lost, outcome.queue_drops);
      clean = clean && lost == 0;
      if (clean) best = rate;
    }
    std::printf("with the %s queue the receiver takes %d datagrams/s without loss (target: 100000)\n", name, best);
  }
  return 0;
}
