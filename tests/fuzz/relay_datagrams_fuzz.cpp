// Anything may arrive on the client's sockets or the relay's ports: every
// reader of relay datagrams must stay inside what arrived, and what it hands
// on must be whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "relay/datagrams.h"

namespace {

void require_inside(std::span<const std::uint8_t> part, std::span<const std::uint8_t> whole) {
  if (part.data() < whole.data() || part.data() + part.size() > whole.data() + whole.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace marvok::relay;
  const std::span<const std::uint8_t> datagram(data, size);
  if (const auto voice = read_incoming_voice(datagram)) {
    if (voice->pcm) {
      if (voice->pcm->size() != kVoiceBlockSize) std::abort();
      require_inside(*voice->pcm, datagram);
    }
    if (voice->opus) require_inside(*voice->opus, datagram);
  }
  if (const auto list = read_member_list(datagram)) {
    if (!is_channel(list->channel) || list->count > kMaxListedMembers) std::abort();
  }
  (void)read_notice(datagram);
  (void)classify_client_datagram(datagram);
  if (const auto presence = read_presence(datagram)) {
    if (!presence->machine_id.empty())
      require_inside(
          std::span(reinterpret_cast<const std::uint8_t*>(presence->machine_id.data()), presence->machine_id.size()),
          datagram);
  }
  if (const auto voice = read_outgoing_voice(datagram)) require_inside(voice->block, datagram);
  return 0;
}
