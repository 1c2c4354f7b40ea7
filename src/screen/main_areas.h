#pragma once

#include <string_view>

#include "screen/geometry.h"

namespace marvok::screen {

// The places of the main window that answer the pointer.
enum class Area {
  None,
  VolumeKnob,
  MicKnob,
  ParamsButton,
  Network,
  ChannelPanel,
  Documentation,
  Picture,
  Credit,
  VoiceHelp,
  Countdown,
  CloseCross,
  Drag,
};

// The knobs and the PARAMS button where the status panel last drew them;
// empty until its first redraw.
struct ControlRects {
  Rect params;
  Rect mic;
  Rect volume;

  friend bool operator==(const ControlRects&, const ControlRects&) = default;
};

// Knobs and the button answer clicks a little beyond their pictures.
inline constexpr int kControlClickMargin = 14;
inline Rect grown_for_clicks(const Rect& control) {
  return control.empty()
             ? control
             : control.adjusted(-kControlClickMargin, -kControlClickMargin, kControlClickMargin, kControlClickMargin);
}

// The first area a left click at `point` acts on, tested in the order the
// member expects the controls to win over the panels behind them.
Area left_click_area(Point point, const ControlRects& controls);
// The first area whose help a right click at `point` reads aloud.
Area right_click_area(Point point, const ControlRects& controls);
// The first area whose hover help describes `point`.
Area hover_area(Point point);

// The help line for an area under the pointer; the welcome text elsewhere.
std::u16string_view hover_text(Area area);
// The sentence read aloud for a right click; empty for an area that says nothing.
std::u16string_view spoken_text(Area area);

// The level a click around a knob sets: 0 pointing straight down, growing
// clockwise through left (0.3) and up (0.6) to right (0.9), and 1.0 from
// there back to straight down.
float knob_level(const Rect& grown_knob, Point point);

}  // namespace marvok::screen
