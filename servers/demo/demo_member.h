#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "audio/level_meter.h"
#include "platform/worker_threads.h"
#include "relay/relay_session.h"
#include "relay/voice_sender.h"
#include "state/session_state.h"
#include "utterance.h"
#include "voice_recorder.h"
#include "web/web_client.h"

namespace marvok::demo {

enum class Identification { Identified, Unreachable, Refused };

// Waits until the given time; false when the demo is asked to end meanwhile.
using PaceWait = std::function<bool(std::chrono::steady_clock::time_point)>;

// The demo member as the network sees it: a PC identified by the web
// service, present in one channel with the client's own relay routines, and
// speaking through the client's voice sender.
class DemoMember {
 public:
  explicit DemoMember(std::string_view machine_id);
  DemoMember(const DemoMember&) = delete;
  DemoMember& operator=(const DemoMember&) = delete;

  // One identification request; on success the member number and name are
  // the member's own. `problem` says what went wrong otherwise.
  Identification identify(web::WebClient& web, std::string& problem);

  // Opens the relay session and keeps presence in `channel` (0 to 10) until
  // destroyed; with a recorder, adds the speech heard on the channel to it,
  // which must outlive the member.
  void join(std::uint32_t relay_address, int channel, VoiceRecorder* recorder);

  // Sends the utterance block by block at the pace of real speech, talking
  // while it does. False when the wait was cut short.
  bool speak(const Utterance& utterance, const PaceWait& wait_until);

  std::uint16_t member_id() const { return state_.identity.MemberId.load(std::memory_order_relaxed); }
  // The display name as UTF-8.
  std::string member_name() const;
  std::string machine_id() const { return state_.identity.MachineId.data(); }
  LedCell& https_light() { return state_.lights.HttpsLed; }

 private:
  SessionState state_;
  LevelMeterState meters_;
  relay::RelaySession session_;
  relay::UnseenSpeech unseen_;
  relay::VoiceSender sender_{session_, state_.identity, state_.channel, meters_, unseen_};
  // Last, so the loops stop before what they use goes.
  WorkerThreads workers_;
};

}  // namespace marvok::demo
