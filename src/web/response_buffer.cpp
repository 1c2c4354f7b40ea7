#include "web/response_buffer.h"

#include <algorithm>
#include <cstring>

namespace marvok::web {

ResponseBuffer::ResponseBuffer() : bytes_(allocate_zeroed_bytes(kCapacity)) {}

void ResponseBuffer::begin() { length_ = 0; }

bool ResponseBuffer::append(std::span<const std::uint8_t> chunk) {
  if (chunk.size() > kCapacity - length_) return false;
  std::memcpy(bytes_.get() + length_, chunk.data(), chunk.size());
  length_ += chunk.size();
  return true;
}

std::size_t ResponseBuffer::finish() {
  if (length_ < kCapacity - 1) bytes_[length_] = 0;
  return length_;
}

std::string_view ResponseBuffer::text() const {
  const auto* begin = reinterpret_cast<const char*>(bytes_.get());
  const auto* end = std::find(begin, begin + length_, '\0');
  return {begin, static_cast<std::size_t>(end - begin)};
}

}  // namespace marvok::web
