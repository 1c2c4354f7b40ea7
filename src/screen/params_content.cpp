#include "screen/params_content.h"

#include <utility>

#include "screen/labels.h"
#include "web/xml_record.h"

namespace marvok::screen {

namespace {

constexpr Rect kParamsArea({0, 0}, kParamsWindowLook.size);
constexpr int kParamsDeviceIconSize = 64;
constexpr int kParamsGrowthStep = 10;
constexpr int kParamsUnfoldedSize = 200;
constexpr int kParamsGrownHeight = 450;

// A description as far as its lookup succeeded.
platform::DeviceDescription usable_part(int status, platform::DeviceDescription description) {
  if (status == platform::kEndpointOk) return description;
  if (status == platform::kEndpointNoIcon) return {{}, 0, std::move(description.name)};
  return {};
}

platform::DeviceDescription input_device(const DeviceState& devices, const ParamsLookups& lookups) {
  const std::int32_t selected = devices.SelectedInputDevice.load(std::memory_order_relaxed);
  platform::DeviceDescription description;
  if (selected == -1) {
    // The index is only where the default stands; the description is filled or left empty.
    if (lookups.describe_default_input && lookups.describe_default_input(description) >= 0) return description;
    return {};
  }
  // A selection outside the table, or an entry no endpoint matched, has nothing to describe.
  if (selected < 0 || selected >= kInputDeviceSlots || !lookups.describe_capture_endpoint) return {};
  const std::int32_t endpoint = devices.InputDeviceTable[static_cast<std::size_t>(selected)].endpoint_index;
  if (endpoint < 0) return {};
  const int status = lookups.describe_capture_endpoint(endpoint, description);
  return usable_part(status, std::move(description));
}

platform::DeviceDescription output_device(const ParamsLookups& lookups) {
  if (!lookups.describe_default_output) return {};
  platform::DeviceDescription description;
  const int status = lookups.describe_default_output(description);
  return usable_part(status, std::move(description));
}

std::u16string widened_ascii(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

// Its caption, its icon when the theme has one, its name when it has one.
void draw_device(Canvas& canvas, std::u16string_view caption, const platform::DeviceDescription& device, int top) {
  draw_label(canvas, caption, {50, top}, kRed);
  canvas.device_icon(Rect(50, top + 20, kParamsDeviceIconSize, kParamsDeviceIconSize), device.icon_path,
                     SystemColour::Menu);
  if (!device.name.empty()) draw_label(canvas, device.name, {20, top + 90}, kRed);
}

void draw_member_card(Canvas& canvas, const web::MemberCard& card) {
  draw_utf8_text(canvas, web::field_text(card.first_name), {10, 260}, kWhite);
  draw_utf8_text(canvas, "City: ", {10, 280}, kWhite);
  draw_utf8_text(canvas, web::field_text(card.city), {50, 280}, kWhite);
  draw_utf8_text(canvas, web::field_text(card.phrase), {10, 300}, kYellow);
  draw_utf8_text(canvas, "-", {10, 320}, kWhite);
  draw_utf8_text(canvas, web::field_text(card.email), {10, 340}, kYellow);
  draw_utf8_text(canvas, "User: ", {10, 360}, kYellow);
  draw_utf8_text(canvas, web::field_text(card.folder), {55, 360}, kYellow);
  draw_utf8_text(canvas, "Color: ", {10, 380}, kYellow);
}

std::vector<GrowthStep> lengthen_params_window(const Rect& reached) {
  std::vector<GrowthStep> steps;
  for (int h = kParamsUnfoldedSize; h <= kParamsGrownHeight; h += kParamsGrowthStep)
    steps.push_back({reached.top_left(), {kParamsWindowLook.size.width, h}});
  return steps;
}

}  // namespace

std::string input_device_caption(std::int32_t selected) {
  if (selected == -1) return "INPUT DEVICE (Default)";
  return "INPUT DEVICE (" + std::to_string(selected) + ")          ";
}

std::string colour_caption(std::uint32_t colour) {
  return std::to_string(colour & 0xFF) + "." + std::to_string(colour >> 8 & 0xFF) + "." +
         std::to_string(colour >> 16 & 0xFF);
}

ParamsContent look_up_params(const DeviceState& devices, std::uint32_t colour, const ParamsLookups& lookups) {
  ParamsContent content;
  content.input_caption = input_device_caption(devices.SelectedInputDevice.load(std::memory_order_relaxed));
  content.input = input_device(devices, lookups);
  content.output = output_device(lookups);
  if (lookups.member_card) content.card = lookups.member_card();
  content.colour = colour;
  return content;
}

void draw_params_content(Canvas& canvas, const ParamsContent& content) {
  draw_device(canvas, widened_ascii(content.input_caption), content.input, 10);
  draw_device(canvas, u"OUTPUT DEVICE", content.output, 140);
  draw_member_card(canvas, content.card);
  // Framed, then filled over the same square: the colour covers its frame.
  canvas.frame_rect(kColourSwatch, canvas.system_colour(SystemColour::ButtonShadow));
  canvas.fill_rect(kColourSwatch, Colour::from_colorref(content.colour));
  draw_utf8_text(canvas, colour_caption(content.colour), {80, 380}, kYellow);
}

Growth params_window_growth(const Rect& main_frame) {
  const int left = main_frame.left(), top = main_frame.top();
  Growth growth{{left - 200, top + 200}, {}, lengthen_params_window};
  for (int s = 0; s <= kParamsUnfoldedSize; s += kParamsGrowthStep)
    growth.unfolding.push_back({{left - s, top + 200 - s}, {s, s}});
  return growth;
}

ParamsScreen::ParamsScreen(DisplayState& display, const DeviceState& devices, ParamsLookups lookups,
                           ParamsCommands commands, Surface& surface)
    : display_(display),
      devices_(devices),
      lookups_(std::move(lookups)),
      commands_(std::move(commands)),
      surface_(surface) {
  surface_.paint([](Canvas& canvas) { canvas.fill_rect(kParamsArea, kParamsWindowLook.background); });
}

void ParamsScreen::start() {
  started_ = true;
  repaint_content();
}

void ParamsScreen::repaint_content() {
  stale_ = true;
  surface_.present(kParamsArea);
}

PaintOutcome ParamsScreen::before_paint() {
  if (!started_ || !stale_) return PaintOutcome::Show;
  stale_ = false;
  drawn_ = look_up_params(devices_, display_.BackgroundColor.load(std::memory_order_relaxed), lookups_);
  surface_.paint([&](Canvas& canvas) {
    canvas.fill_rect(kParamsArea, kParamsWindowLook.background);
    draw_params_content(canvas, drawn_);
  });
  return PaintOutcome::Show;
}

void ParamsScreen::left_press(Point point) {
  if (kColourSwatch.contains(point)) {
    pick_colour();
    return;
  }
  if (kDeviceArea.contains(point) && commands_.toggle_input_device_window) commands_.toggle_input_device_window();
}

void ParamsScreen::pick_colour() {
  // The picker runs an event loop, in which this window may close and go:
  // what comes after it uses copies, and this screen only while it lives.
  const std::weak_ptr<const bool> alive = alive_;
  DisplayState& display = display_;
  const ParamsCommands commands = commands_;

  const std::optional<std::uint32_t> chosen = commands.choose_colour ? commands.choose_colour() : std::nullopt;
  if (chosen) {
    display.BackgroundColor.store(*chosen, std::memory_order_relaxed);
    if (commands.post_parameters) commands.post_parameters(*chosen);
  }
  if (commands.repaint_main) commands.repaint_main();
  if (!alive.expired()) repaint_content();
  if (commands.activate_main) commands.activate_main();
}

}  // namespace marvok::screen
