// Whatever comes back from the serial port, and whatever count the read
// reports, reading the button must stay inside the bytes received.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "accessory/probe_echo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the count: a failed read, the bytes received, or more than there are.
  const std::span<const std::uint8_t> received(data + 1, size - 1);
  std::optional<std::size_t> count;
  if (data[0] % 3 == 1) count = received.size();
  if (data[0] % 3 == 2) count = received.size() + data[0];
  const auto reading = marvok::accessory::classify_echo(count, received);
  if (reading.has_value() != count.has_value()) __builtin_trap();
  return 0;
}
