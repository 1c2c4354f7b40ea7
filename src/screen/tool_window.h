#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "screen/colour.h"
#include "screen/geometry.h"
#include "state/picture.h"

namespace marvok::screen {

// A member's small picture: nothing when the service had none to give (the
// member takes no cell), an empty picture when it could not be had or decoded
// (the member's cell stays as it was).
using MemberPictures = std::function<std::optional<Picture>(std::uint16_t member)>;

// What sets a tool window apart from the others before anything is drawn in it.
struct ToolWindowLook {
  // The name other programs know the window's kind by.
  std::string_view class_name;
  std::u16string_view title;
  // Behind the content until it is drawn.
  Colour background;
  // The inside once grown, which the content is laid out for.
  Size size;
  // How often the content looks for changes once the window is grown, if it does.
  std::optional<std::chrono::milliseconds> tick_period = std::nullopt;
  // Whether the window keeps the size it grew to.
  bool fixed_once_grown = false;
};

// A tool window is made this small beside the main window, then grows.
inline constexpr Size kOpeningSize{10, 10};

// One step of the opening growth: where the window's frame goes, and the size
// of its inside.
struct GrowthStep {
  Point position;
  Size size;

  friend bool operator==(const GrowthStep&, const GrowthStep&) = default;
};

// A tool window's opening growth: made at `opening`, it unfolds out of the
// main window's side, then widens and lengthens from wherever the unfolding
// left it.
struct Growth {
  Point opening;
  std::vector<GrowthStep> unfolding;
  // From the frame's top-left and the inside's size the unfolding reached.
  std::vector<GrowthStep> (*widening)(const Rect& reached) = nullptr;
};

// The pauses after each step of the two stages, during which the member can
// still use the main window.
struct GrowthPauses {
  std::chrono::milliseconds unfolding{20};
  std::chrono::milliseconds widening{20};
};

// What a tool window's content may ask of the window around it.
class ToolWindowHost {
 public:
  // Frame included.
  virtual Size outer_size() const = 0;
  // Paints the window at once rather than at the event loop's next turn.
  virtual void repaint_now() = 0;
  virtual void close_window() = 0;

 protected:
  ~ToolWindowHost() = default;
};

enum class PaintOutcome { Show, Close };

// What a tool window shows and how it answers, whichever toolkit makes the
// window. The front end owns the window and its surface, sized as the look
// says, and calls these at the moments named; the content draws on the
// surface and shows what it drew.
class ToolScreen {
 public:
  virtual ~ToolScreen() = default;
  // The growth is over: the content is drawn from now on.
  virtual void start() = 0;
  // Every tick period of the look once started, until the window closes.
  virtual void tick() {}
  // Before the window copies its surface out, grown or not. Close: the
  // window closes instead, once its paint is over.
  virtual PaintOutcome before_paint() { return PaintOutcome::Show; }
  // A left button press once started, in window coordinates.
  virtual void left_press(Point) {}
};

}  // namespace marvok::screen
