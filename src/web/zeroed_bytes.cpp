#include "web/zeroed_bytes.h"

#include <cstdlib>
#include <new>

namespace marvok::web {

void FreeBytes::operator()(std::uint8_t* bytes) const { std::free(bytes); }

ZeroedBytes allocate_zeroed_bytes(std::size_t size) {
  auto* bytes = static_cast<std::uint8_t*>(std::calloc(size, 1));
  if (bytes == nullptr) throw std::bad_alloc();
  return ZeroedBytes(bytes);
}

}  // namespace marvok::web
