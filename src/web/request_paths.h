#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace marvok::web {

// The folders of the web service that hold pictures and icons.
enum class WebFolder { Users, Exchange, Usb };

// What is asked of a folder: a member's small picture or a channel's shared
// picture (1), the shared picture's post (3 in the exchange folder), or the
// accessory's black, green and red icons (1, 2, 3 in the accessory folder).
using FileKind = int;

// The path of a picture or icon; empty for a kind the folder does not have.
std::string build_request_path(WebFolder folder, int number, FileKind kind);

// The identification of this PC by its machine identifier; the version's
// space goes out escaped with the rest of the path.
std::string identification_path(std::string_view machine_id);
std::string card_path(std::int32_t member_id);
std::string params_path(std::int32_t member_id);
// The member's large picture, drawn while the member speaks.
std::string large_picture_path(std::int32_t member_id);

inline constexpr std::string_view kParamsPostPath = "/users/params.php";

}  // namespace marvok::web
