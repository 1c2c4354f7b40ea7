#include "accessory/accessory_icon.h"

#include <utility>

#include "web/picture_decoding.h"
#include "web/request_paths.h"

namespace marvok::accessory {

AccessoryIcon::AccessoryIcon(web::WebClient& web, Draw draw) : web_(web), draw_(std::move(draw)) {}

void AccessoryIcon::show_accessory_state(AccessoryState state) {
  bool place_known = false;
  {
    const std::scoped_lock lock(mutex_);
    if (last_shown_ == state) return;
    last_shown_ = state;
    place_known = std::exchange(place_known_, true);
  }
  Picture fetched;
  {
    // Decoded under the fetch lock the download holds, before another request can reuse the buffer.
    const web::LockedResponse response = web_.download_web_file(web::WebFolder::Usb, 0, static_cast<int>(state));
    if (response.result == 0 || response.result == web::kRequestFailed) return;
    fetched = web::png_to_bitmap(response.result, *response.buffer);
  }
  {
    const std::scoped_lock lock(mutex_);
    picture_ = fetched;
  }
  // Drawn outside the lock: the window may ask for the picture while it draws.
  if (!fetched.empty() && place_known && draw_) draw_(fetched);
}

Picture AccessoryIcon::picture() const {
  const std::scoped_lock lock(mutex_);
  return picture_;
}

}  // namespace marvok::accessory
