#pragma once

#include <functional>
#include <mutex>
#include <optional>

#include "accessory/accessory_state.h"
#include "state/picture.h"
#include "web/web_client.h"

namespace marvok::accessory {

// Where the main window shows the accessory picture, stretched to 32 × 32.
inline constexpr int kAccessoryIconLeft = 314;
inline constexpr int kAccessoryIconTop = 500;
inline constexpr int kAccessoryIconSize = 32;

// The accessory's picture in the main window: fetched from the web service
// when the state changes, kept for the window's repaints.
class AccessoryIcon {
 public:
  // Called with each new picture, on the thread that showed the state, once
  // the icon's place is known (from the second state shown on).
  using Draw = std::function<void(const Picture&)>;

  AccessoryIcon(web::WebClient& web, Draw draw);

  // Fetches and keeps the picture of `state`, unless that state is the one
  // shown last. A picture that cannot be fetched leaves the old one; one that
  // is not a PNG leaves none.
  void show_accessory_state(AccessoryState state);

  // The picture of the last state shown; empty while there is none.
  Picture picture() const;

 private:
  web::WebClient& web_;
  Draw draw_;
  mutable std::mutex mutex_;
  // Nothing has been shown at start, so the first request always fetches.
  std::optional<AccessoryState> last_shown_;
  bool place_known_ = false;
  Picture picture_;
};

}  // namespace marvok::accessory
