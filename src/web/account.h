#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>

#include "state/picture.h"
#include "state/session_state.h"
#include "web/member_card.h"
#include "web/retry_pauses.h"
#include "web/web_client.h"

namespace marvok::web {

// What `fetch_web_record` asks for, and what it does with the answer.
enum class FetchMode : std::int32_t {
  // The large picture of the member heard, drawn in the main window.
  SpeakerPicture = 0,
  // The card of the member heard, drawn in the main window.
  SpeakerCard = 1,
  // The member's own card, kept in `MemberCard`.
  OwnCard = 2,
  // The identification of this PC: member number, name and greeting.
  Identify = 3,
  // The member's own parameters: the background colour.
  OwnParams = 4,
};

// Where the speaker's picture and card are shown; both run on the window thread.
struct SpeakerDisplay {
  std::function<void(const Picture& picture)> show_picture;
  std::function<void(const SpeakerCard& card)> show_card;
};

// How the start-up fetches ended for the member's parameters. `NotIdentified`:
// the identification could not reach the service, so nothing more was asked.
enum class OwnParamsOutcome { Applied, NotFound, Unreachable, NotIdentified };

// The member's account: who this PC is, the member's card and parameters,
// and the picture and card of whoever speaks, all through the web service.
class Account {
 public:
  Account(WebClient& web, SessionState& state, SpeakerDisplay display);

  // Fetches and applies one record, under the fetch lock. The speaker's
  // picture and card are not asked again for the same member unless the main
  // window was repainted since (`ForceRefetch`). Returns the body's length,
  // 0 when skipped or nothing came, kNoSession or kRequestFailed.
  std::int32_t fetch_web_record(std::int32_t member_id, FetchMode mode);

  // Identification, own card and own parameters, in that order; after an
  // identification that could not reach the service, or that the service
  // failed to answer (a server error), nothing more. A stop request leaves
  // the fetches not yet made.
  OwnParamsOutcome run_startup_fetches(std::stop_token stop = {});
  // For a start-up that could not identify the PC: tries the start-up
  // fetches again after each pause until the identification reaches the
  // service (whether it then knows the PC or refuses it). Nothing when
  // stopped first. Each request takes the fetch lock, so the window thread
  // waits at most one request for it.
  std::optional<OwnParamsOutcome> retry_startup_fetches(std::stop_token stop, RetryPauses& pauses);
  // The one-second poll: the speaker's picture, then the speaker's card
  // (left to the next poll when the picture could not reach the service).
  void poll_speaker();
  // Sends the member's chosen colour; failures only leave a line on the standard output.
  void post_parameters(std::uint32_t colour);

  // A copy: a late identification fills the card from a worker thread.
  MemberCard member_card() const;

 private:
  bool skip_repeat(std::int32_t member_id, FetchMode mode);
  void apply(FetchMode mode, std::int32_t byte_count);

  WebClient& web_;
  SessionState& state_;
  SpeakerDisplay display_;
  mutable std::mutex card_mutex_;
  MemberCard card_;
  std::int32_t last_picture_id_ = 0;
  std::int32_t last_card_id_ = 0;
};

}  // namespace marvok::web
