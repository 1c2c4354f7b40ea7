#include "web/account.h"

#include <string>
#include <utility>

#include "platform/worker_threads.h"
#include "web/identification_reply.h"
#include "web/parameters_record.h"
#include "web/picture_decoding.h"
#include "web/request_paths.h"

namespace marvok::web {

namespace {

constexpr int kFirstServerError = 500;

bool unreachable(std::int32_t result) { return result == kNoSession || result == kRequestFailed; }

}  // namespace

Account::Account(WebClient& web, SessionState& state, SpeakerDisplay display)
    : web_(web), state_(state), display_(std::move(display)) {}

bool Account::skip_repeat(std::int32_t member_id, FetchMode mode) {
  if (state_.display.ForceRefetch.load(std::memory_order_relaxed)) return false;
  return (mode == FetchMode::SpeakerPicture && member_id == last_picture_id_) ||
         (mode == FetchMode::SpeakerCard && member_id == last_card_id_);
}

std::int32_t Account::fetch_web_record(std::int32_t member_id, FetchMode mode) {
  const auto lock = web_.lock_fetch();
  web_.advance_request_counter(RequestRoutine::FetchRecord);
  if (skip_repeat(member_id, mode)) return 0;

  // Noted before the request, so a failed request for the same speaker is not
  // repeated every second. Only the speaker's fetches answer a repaint's call
  // for them: the member's own, which a late identification makes on a
  // worker, must not swallow it.
  if (mode == FetchMode::SpeakerPicture || mode == FetchMode::SpeakerCard)
    state_.display.ForceRefetch.store(false, std::memory_order_relaxed);
  if (mode == FetchMode::SpeakerPicture) last_picture_id_ = member_id;
  if (mode == FetchMode::SpeakerCard) last_card_id_ = member_id;

  std::string path;
  switch (mode) {
    case FetchMode::SpeakerPicture: path = large_picture_path(member_id); break;
    case FetchMode::SpeakerCard:
    case FetchMode::OwnCard: path = card_path(member_id); break;
    case FetchMode::Identify: path = identification_path(std::string_view(state_.identity.MachineId.data())); break;
    case FetchMode::OwnParams: path = params_path(member_id); break;
  }
  const std::int32_t result = web_.get(path);
  // A service that fails inside (restarting, overloaded) has not answered who
  // this PC is: that is tried again, where a refusal is final.
  if (mode == FetchMode::Identify && result == 0 && web_.last_status() >= kFirstServerError) return kRequestFailed;
  if (result != kNoSession && result > 0) apply(mode, result);
  return result;
}

void Account::apply(FetchMode mode, std::int32_t byte_count) {
  const ResponseBuffer& response = web_.response();
  switch (mode) {
    case FetchMode::SpeakerPicture: {
      const Picture picture = png_to_bitmap(byte_count, response);
      if (!picture.empty() && display_.show_picture) display_.show_picture(picture);
      break;
    }
    case FetchMode::SpeakerCard:
      if (display_.show_card) display_.show_card(read_speaker_card(response.text()));
      break;
    case FetchMode::OwnCard: {
      const std::lock_guard lock(card_mutex_);
      fill_member_card(card_, response.text());
      break;
    }
    case FetchMode::Identify:
      if (const auto identification = read_identification_reply(response.body()))
        apply_identification(*identification, state_.identity, state_.display);
      break;
    case FetchMode::OwnParams:
      if (const auto colour = read_background_colour(response.text()))
        state_.display.BackgroundColor.store(*colour, std::memory_order_relaxed);
      break;
  }
}

OwnParamsOutcome Account::run_startup_fetches(std::stop_token stop) {
  // A service that cannot be reached would only hold the window once more for each fetch.
  if (unreachable(fetch_web_record(state_.channel.SpeakerId.load(std::memory_order_relaxed), FetchMode::Identify)))
    return OwnParamsOutcome::NotIdentified;
  const std::int32_t member_id = state_.identity.MemberId.load(std::memory_order_relaxed);
  if (stop.stop_requested()) return OwnParamsOutcome::Unreachable;
  fetch_web_record(member_id, FetchMode::OwnCard);
  if (stop.stop_requested()) return OwnParamsOutcome::Unreachable;
  const std::int32_t params = fetch_web_record(member_id, FetchMode::OwnParams);
  if (params == 0) return OwnParamsOutcome::NotFound;
  if (unreachable(params)) return OwnParamsOutcome::Unreachable;
  return OwnParamsOutcome::Applied;
}

std::optional<OwnParamsOutcome> Account::retry_startup_fetches(std::stop_token stop, RetryPauses& pauses) {
  while (sleep_unless_stopped(stop, pauses.next())) {
    const OwnParamsOutcome outcome = run_startup_fetches(stop);
    // The client is ending: the fetches left were not made, and nobody looks.
    if (stop.stop_requested()) return std::nullopt;
    if (outcome != OwnParamsOutcome::NotIdentified) return outcome;
  }
  return std::nullopt;
}

MemberCard Account::member_card() const {
  const std::lock_guard lock(card_mutex_);
  return card_;
}

void Account::poll_speaker() {
  const std::int32_t speaker = state_.channel.SpeakerId.load(std::memory_order_relaxed);
  // When the service cannot be reached, the card waits for the next poll, so
  // the window answers in between instead of waiting twice in a row.
  if (unreachable(fetch_web_record(speaker, FetchMode::SpeakerPicture))) return;
  fetch_web_record(speaker, FetchMode::SpeakerCard);
}

void Account::post_parameters(std::uint32_t colour) {
  const ParametersRecord record =
      build_parameters_record(colour, state_.identity.MemberId.load(std::memory_order_relaxed));
  std::optional<platform::HttpsSession> session = web_.open_session();
  if (!session) return;
  if (const auto answer = WebClient::post_record(*session, kParamsPostPath, record))
    WebClient::query_status_code(*answer);
}

}  // namespace marvok::web
