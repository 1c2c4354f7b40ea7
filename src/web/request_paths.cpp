#include "web/request_paths.h"

#include "state/version.h"

namespace marvok::web {

std::string build_request_path(WebFolder folder, int number, FileKind kind) {
  const std::string n = std::to_string(number);
  switch (folder) {
    case WebFolder::Users:
      if (kind == 1) return "/users/images.php?F=" + n + "&N=1";
      break;
    case WebFolder::Exchange:
      if (kind == 1) return "/echange/pc_img_share_get.php?F=" + n + "&N=1";
      if (kind == 3) return "/echange/pc_img_share_post.php";
      break;
    case WebFolder::Usb:
      if (kind == 1) return "/usb/usb_black.png";
      if (kind == 2) return "/usb/usb_green.png";
      if (kind == 3) return "/usb/usb_red.png";
      break;
  }
  return {};
}

std::string identification_path(std::string_view machine_id) {
  return "/Tr8mQe2xVk.php?S=2&I=" + std::string(machine_id) + "&V=KALVIRO " + std::string(kClientVersion) + "&A=&F=";
}

std::string card_path(std::int32_t member_id) { return "/users/" + std::to_string(member_id) + "/client.xml"; }

std::string params_path(std::int32_t member_id) { return "/users/" + std::to_string(member_id) + "/params.xml"; }

std::string large_picture_path(std::int32_t member_id) {
  return "/users/images.php?N=2&F=" + std::to_string(member_id);
}

}  // namespace marvok::web
