#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace marvok::web_server {

// The 32 x 32 icons of the USB push-to-talk pedal the client shows beside
// its window: black when absent, green when present, red when pressed. PNG.
struct AccessoryIcons {
  std::string black;
  std::string green;
  std::string red;

  // The icon for a file name the client asks for ("usb_green.png"), if any.
  std::optional<std::string_view> for_file(std::string_view file) const;
};

AccessoryIcons draw_accessory_icons();

}  // namespace marvok::web_server
