// Any file may sit where the status-light images are expected: reading its
// directory and looking every light up must stay inside the file's bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "state/led_color.h"
#include "state/led_image_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto file = marvok::LedImageFile::parse(std::vector<std::uint8_t>(data, data + size));
  if (!file) return 0;
  for (int code = 1; code <= marvok::kLedColorCount; ++code) {
    const auto blob = file->find(marvok::led_image_name(static_cast<marvok::LedColor>(code)));
    if (blob && !blob->empty()) {
      volatile std::uint8_t last = blob->back();
      (void)last;
    }
  }
  return 0;
}
