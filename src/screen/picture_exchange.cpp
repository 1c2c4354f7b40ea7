#include "screen/picture_exchange.h"

#include <algorithm>

namespace marvok::screen {

namespace {

constexpr Point kPictureExchangeOffset{-200, 50};
constexpr Point kSharedPicturePosition{5, 5};

void draw_shared_picture(Canvas& canvas, Size area, PictureExchangeState& state,
                         const SharedPictureDownload& download) {
  if (!state.picture_loaded) {
    // Set first: should the download let a paint through, it does not start
    // a second one.
    state.picture_loaded = true;
    if (download)
      if (std::optional<Picture> fetched = download()) state.picture = std::move(*fetched);
  }
  if (state.picture.empty()) return;
  const Rect target = fit_picture({state.picture.width, state.picture.height}, area);
  if (!target.empty()) canvas.picture_stretched(target, state.picture, Stretch::ScaledFirst);
}

}  // namespace

Point picture_exchange_position(const Rect& main_frame) { return main_frame.top_left() + kPictureExchangeOffset; }

void open_picture_exchange(PictureExchangeState& state) {
  state.picture_loaded = false;
  state.elements = {{ExchangeElementKind::SharedPicture, kSharedPicturePosition}, {ExchangeElementKind::End, {}}};
}

Rect fit_picture(Size picture, Size area) {
  if (picture.empty() || area.empty()) return {};
  const float scale = std::min(static_cast<float>(area.width) / static_cast<float>(picture.width),
                               static_cast<float>(area.height) / static_cast<float>(picture.height));
  const int width = static_cast<int>(static_cast<float>(picture.width) * scale);
  const int height = static_cast<int>(static_cast<float>(picture.height) * scale);
  return {(area.width - width) / 2, (area.height - height) / 2, width, height};
}

void draw_picture_exchange(Canvas& canvas, Size area, PictureExchangeState& state,
                           const SharedPictureDownload& download) {
  canvas.fill_rect({{0, 0}, area}, canvas.system_colour(SystemColour::Content));
  const std::size_t count = std::min(state.elements.size(), kMaxExchangeElements);
  for (std::size_t i = 0; i < count && state.elements[i].kind != ExchangeElementKind::End; ++i) {
    if (state.elements[i].kind == ExchangeElementKind::SharedPicture)
      draw_shared_picture(canvas, area, state, download);
  }
}

}  // namespace marvok::screen
