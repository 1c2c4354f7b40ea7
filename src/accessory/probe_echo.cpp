#include "accessory/probe_echo.h"

#include <algorithm>

namespace marvok::accessory {

std::optional<TalkValue> classify_echo(std::optional<std::size_t> byte_count, std::span<const std::uint8_t> buffer) {
  if (!byte_count) return std::nullopt;
  const std::span<const std::uint8_t> received = buffer.first(std::min(*byte_count, buffer.size()));
  // Only the first eight bytes are compared: a longer echo still counts.
  if (received.size() < ProbePattern.size() || !std::equal(ProbePattern.begin(), ProbePattern.end(), received.begin()))
    return TalkValue::Released;
  return TalkValue::Pressed;
}

}  // namespace marvok::accessory
