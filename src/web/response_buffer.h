#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "web/zeroed_bytes.h"

namespace marvok::web {

// The one buffer every answer of the web service lands in, allocated once for
// the whole run: the body of the latest answer from byte 0, then a NUL when
// the body leaves room for one. Readers take it under the fetch lock.
class ResponseBuffer {
 public:
  static constexpr std::size_t kCapacity = 10'000'000;

  ResponseBuffer();

  // A new body starts at byte 0; the previous one is gone.
  void begin();
  // Appends a chunk of the body. False, with nothing stored, when the chunk
  // would take the body past the capacity: reading stops there.
  bool append(std::span<const std::uint8_t> chunk);
  // Ends the body and returns its length. A body shorter than the capacity
  // minus one gets a NUL after it.
  std::size_t finish();

  // The bytes of the latest body.
  std::span<const std::uint8_t> body() const { return {bytes_.get(), length_}; }
  // The latest body as text, up to its first NUL and never past its last byte.
  std::string_view text() const;
  // Every byte, for the tests that check what follows the body.
  std::span<const std::uint8_t> whole() const { return {bytes_.get(), kCapacity}; }

 private:
  ZeroedBytes bytes_;
  std::size_t length_ = 0;
};

}  // namespace marvok::web
