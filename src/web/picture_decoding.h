#pragma once

#include <QImage>
#include <cstdint>

#include "web/response_buffer.h"

namespace marvok::web {

// Pictures are decoded straight from the response buffer, under the fetch
// lock of the request that filled it. `byte_count` is what the request
// returned: its failure values, and counts too small to hold a picture or
// larger than the buffer, give no picture. Transparent pixels come out on
// opaque black; a failed decode gives a null image.

// A PNG only: any other body gives no picture.
QImage png_to_bitmap(std::int32_t byte_count, const ResponseBuffer& response);

// Any picture format the image library reads: PNG, JPEG, BMP, GIF and others.
QImage image_to_bitmap(std::int32_t byte_count, const ResponseBuffer& response);

}  // namespace marvok::web
