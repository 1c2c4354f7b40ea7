#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "screen/canvas.h"
#include "state/picture.h"

namespace marvok::screen {

inline constexpr std::u16string_view kPictureExchangeWindowTitle = u"Marvok Echange et Partage";
// The class name the network's other clients know the window by.
inline constexpr std::string_view kPictureExchangeWindowClass = "CanvasWndClass";
inline constexpr Size kPictureExchangeWindowSize{600, 600};
// Painting never walks further, whatever the list holds.
inline constexpr std::size_t kMaxExchangeElements = 100;

// Where the window's frame goes: to the main window's left and a little lower.
Point picture_exchange_position(const Rect& main_frame);

enum class ExchangeElementKind : std::uint8_t { End = 0, SharedPicture = 4 };

// One thing the window paints, in list order.
struct ExchangeElement {
  ExchangeElementKind kind = ExchangeElementKind::End;
  // Where the element was placed; the shared picture is fitted to the whole
  // area instead.
  Point position;
};

// What the exchange keeps for the whole run, while its window comes and goes.
struct PictureExchangeState {
  std::vector<ExchangeElement> elements;
  // The last picture the web client gave, kept across closings.
  Picture picture;
  // Whether the picture was fetched for the current display.
  bool picture_loaded = false;
};

// A new display: the shared picture alone, fetched again at the next paint.
void open_picture_exchange(PictureExchangeState& state);

// Downloads and decodes the channel's picture. Nothing when no bytes came (the
// window keeps the picture it has); otherwise the new picture, empty when the
// download failed or the bytes did not decode.
using SharedPictureDownload = std::function<std::optional<Picture>()>;

// Where a picture of the given size is drawn in an area: as large as fits,
// proportions kept, centred (single-precision scale, sizes truncated, integer
// halving). Empty when either is.
Rect fit_picture(Size picture, Size area);

// Paints the element list over the window's ground on an area of `area`
// size, fetching the shared picture first if this display has not.
void draw_picture_exchange(Canvas& canvas, Size area, PictureExchangeState& state,
                           const SharedPictureDownload& download);

}  // namespace marvok::screen
