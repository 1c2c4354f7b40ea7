#include "demo_member.h"

#include <algorithm>

#include "relay/channels.h"
#include "state/utf8.h"
#include "state/windows_1252.h"
#include "web/identification_reply.h"
#include "web/request_paths.h"

namespace marvok::demo {

namespace {

constexpr auto kReceiveWait = std::chrono::milliseconds(200);
constexpr auto kBlockDuration = std::chrono::microseconds(31'250);

// The speech the relay forwards on the channel, raw blocks only: silence as
// a block of zeros, Opus left out.
void run_recorder(std::stop_token stop, const relay::RelaySession& session, VoiceRecorder& recorder) {
  static constexpr VoiceBlock kSilence{};
  relay::Buffer buffer{};
  while (!stop.stop_requested()) {
    if (session.VoiceSocket.wait_readable(kReceiveWait) != platform::UdpSocket::Wait::Readable) {
      // An unusable socket fails at once: pace the loop as a silent one would be.
      if (!session.VoiceSocket.valid() && !sleep_unless_stopped(stop, kReceiveWait)) return;
      continue;
    }
    while (const auto received = session.VoiceSocket.receive(buffer)) {
      if (!session.from_relay(received->from)) continue;
      const auto voice = relay::read_incoming_voice(std::span(buffer.data(), received->size));
      if (!voice || voice->kind == relay::VoiceKind::Opus) continue;
      if (voice->pcm) {
        recorder.add_block(voice->pcm->first<relay::kVoiceBlockSize>());
      } else if (voice->content_flag == relay::kSilentBlock) {
        recorder.add_block(kSilence);
      }
    }
  }
}

// Talks for as long as it lives, so an interrupted utterance does not leave
// the member keyed.
class TalkingWhile {
 public:
  explicit TalkingWhile(TalkState& talk) : talk_(talk) { talk_.set_key(TalkValue::Pressed); }
  ~TalkingWhile() { talk_.set_key(TalkValue::Released); }
  TalkingWhile(const TalkingWhile&) = delete;
  TalkingWhile& operator=(const TalkingWhile&) = delete;

 private:
  TalkState& talk_;
};

}  // namespace

DemoMember::DemoMember(std::string_view machine_id) {
  auto& id = state_.identity.MachineId;
  std::copy_n(machine_id.begin(), std::min(machine_id.size(), id.size() - 1), id.begin());
}

Identification DemoMember::identify(web::WebClient& web, std::string& problem) {
  const auto lock = web.lock_fetch();
  const std::int32_t result = web.get(web::identification_path(machine_id()));
  if (result == web::kNoSession || result == web::kRequestFailed) {
    problem = "cannot be reached";
    return Identification::Unreachable;
  }
  const auto reply = result > 0 ? web::read_identification_reply(web.response().body()) : std::nullopt;
  if (!reply || reply->member_id == kPlaceholderMemberId) {
    problem = result > 0 ? "gave an identification reply that cannot be read" : "refused the identification";
    return Identification::Refused;
  }
  web::apply_identification(*reply, state_.identity, state_.display);
  return Identification::Identified;
}

std::string DemoMember::member_name() const {
  return utf16_to_utf8(from_windows_1252(state_.identity.MemberName.get()));
}

void DemoMember::join(std::uint32_t relay_address, int channel, VoiceRecorder* recorder) {
  // A socket that cannot be opened is shown on its light only, as in the
  // client: sends on it fail quietly and the demo keeps going.
  relay::relay_setup(session_, relay_address, state_.lights);
  // As a client that picks the channel before its first presence: the hellos
  // still go to channel 0's port, presence and speech to the channel's.
  relay::select_channel(state_.channel, channel);
  workers_.start(
      [this](std::stop_token stop) { relay::run_presence_worker(stop, session_, state_.identity, state_.channel); });
  if (recorder != nullptr)
    workers_.start([this, recorder](std::stop_token stop) { run_recorder(stop, session_, *recorder); });
}

bool DemoMember::speak(const Utterance& utterance, const PaceWait& wait_until) {
  const TalkingWhile talking(state_.talk);
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < utterance.blocks.size(); ++i) {
    // Each block leaves when it would have been captured, counted from the
    // start, so late wake-ups do not add up.
    if (!wait_until(start + kBlockDuration * static_cast<long>(i))) return false;
    sender_.send_voice_block(utterance.blocks[i]);
  }
  return true;
}

}  // namespace marvok::demo
