#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/audio_endpoints.h"
#include "screen/canvas.h"
#include "screen/surface.h"
#include "screen/tool_window.h"
#include "state/session_state.h"
#include "web/member_card.h"

namespace marvok::screen {

inline constexpr ToolWindowLook kParamsWindowLook{
    .class_name = "ParamWndClass", .title = u"Marvok Params", .background = kRed, .size = {200, 450}};

// Areas that answer a click. They do not overlap, so one click never does both.
inline constexpr Rect kColourSwatch{60, 383, 15, 15};
inline constexpr Rect kDeviceArea{0, 0, 150, 150};

// Where the window learns what it shows. A missing function counts as a
// lookup that failed.
struct ParamsLookups {
  // The default input device: its place among the capture endpoints, or -1;
  // fills the description when found.
  std::function<int(platform::DeviceDescription&)> describe_default_input;
  // Capture endpoint `index`: platform::kEndpointOk when the description was filled.
  std::function<int(int index, platform::DeviceDescription&)> describe_capture_endpoint;
  // The default output device: kEndpointOk, or kEndpointNoIcon with the name only.
  std::function<int(platform::DeviceDescription&)> describe_default_output;
  std::function<web::MemberCard()> member_card;
};

// What the window's clicks set off beyond it. A missing function does nothing.
struct ParamsCommands {
  std::function<void()> toggle_input_device_window;
  // The colour picker, owned by the window: the chosen 0x00BBGGRR colour, nothing on cancel.
  std::function<std::optional<std::uint32_t>()> choose_colour;
  std::function<void(std::uint32_t colour)> post_parameters;
  std::function<void()> repaint_main;
  // Gives the keyboard back to the main window.
  std::function<void()> activate_main;
};

// What the window shows, as far as each lookup went: a failed one gives an
// empty description, one without an icon the name alone.
struct ParamsContent {
  std::string input_caption;
  platform::DeviceDescription input;
  platform::DeviceDescription output;
  web::MemberCard card;
  std::uint32_t colour = 0;  // 0x00BBGGRR
};

ParamsContent look_up_params(const DeviceState& devices, std::uint32_t colour, const ParamsLookups& lookups);

// "INPUT DEVICE (Default)" for the system's device, the entry's number otherwise.
std::string input_device_caption(std::int32_t selected);
// "r.g.b" in decimal.
std::string colour_caption(std::uint32_t colour);

// The devices' captions, icons and names, the member's card, and the
// background colour's swatch and caption, over the window's red.
void draw_params_content(Canvas& canvas, const ParamsContent& content);

// Unfolds up and out of the main window's left edge, then lengthens.
Growth params_window_growth(const Rect& main_frame);

// The parameters window's content: the devices, the member's card and the
// background colour, which a click on its swatch changes; a click among the
// devices opens the input device window.
class ParamsScreen final : public ToolScreen {
 public:
  ParamsScreen(DisplayState& display, const DeviceState& devices, ParamsLookups lookups, ParamsCommands commands,
               Surface& surface);

  void start() override;
  // Draws the content afresh at the next paint, looking the devices up again.
  void repaint_content();
  PaintOutcome before_paint() override;
  void left_press(Point point) override;

  // What the last content drawn showed.
  const ParamsContent& drawn() const { return drawn_; }

 private:
  void pick_colour();

  DisplayState& display_;
  const DeviceState& devices_;
  ParamsLookups lookups_;
  ParamsCommands commands_;
  Surface& surface_;
  bool started_ = false;
  // The lookups ask the sound server: a paint that only uncovers the window
  // shows the content already drawn.
  bool stale_ = true;
  ParamsContent drawn_;
  // Gone with the screen, which the picker's event loop may see closed.
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

}  // namespace marvok::screen
