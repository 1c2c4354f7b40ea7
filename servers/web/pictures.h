#pragma once

#include <optional>
#include <string>
#include <string_view>

class QImage;

namespace marvok::web_server {

// The two sizes the client asks for, by the N of /users/images.php.
enum class PictureSize { Small = 1, Large = 2 };

struct DecodedPicture {
  std::string format;        // as Qt names it: "png", "jpeg", "gif", "bmp"...
  std::string content_type;  // what the service answers with
};

// What the bytes are, when Qt decodes them to a picture; nothing otherwise
// (not a picture, truncated, or too large to decode safely).
std::optional<DecodedPicture> decode_picture(std::string_view bytes);

// The picture scaled smoothly, proportions kept, to fit 66 x 83 (small) or
// 150 x 190 (large), as PNG. Nothing when the original does not decode.
std::optional<std::string> scaled_png(std::string_view original, PictureSize size);

// A member's picture until the operator sets one: a silhouette on a colour
// of its own, drawn from the member number. PNG.
std::string default_member_picture(int member_number);

std::string encode_png(const QImage& image);

}  // namespace marvok::web_server
