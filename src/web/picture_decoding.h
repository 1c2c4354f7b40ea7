#pragma once

#include <cstdint>

#include "state/picture.h"
#include "web/response_buffer.h"

namespace marvok::web {

// Pictures are decoded straight from the response buffer, under the fetch
// lock of the request that filled it. `byte_count` is what the request
// returned: its failure values, and counts too small to hold a picture or
// larger than the buffer, give no picture. Transparent pixels come out on
// opaque black; a failed decode gives an empty picture.

// A PNG only: any other body gives no picture.
Picture png_to_bitmap(std::int32_t byte_count, const ResponseBuffer& response);

// Any picture format the system decodes: PNG, JPEG, BMP, GIF and others.
Picture image_to_bitmap(std::int32_t byte_count, const ResponseBuffer& response);

}  // namespace marvok::web
