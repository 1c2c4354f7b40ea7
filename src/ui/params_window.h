#pragma once

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/audio_endpoints.h"
#include "ui/colour_dialog.h"
#include "web/member_card.h"

namespace marvok {
struct DisplayState;
struct DeviceState;
}  // namespace marvok

namespace marvok::ui {

inline constexpr QSize kParamsWindowSize{200, 450};
inline constexpr std::chrono::milliseconds kParamsGrowthPause{20};

// Client areas that answer a click, right and bottom edges excluded. They do
// not overlap, so one click never does both.
inline constexpr QRect kColourSwatch{60, 383, 15, 15};
inline constexpr QRect kDeviceArea{0, 0, 150, 150};

// What the window asks of the rest of the client. A missing function counts
// as a lookup that failed, or as nothing to do.
struct ParamsServices {
  // The default input device: its place among the capture endpoints, or -1;
  // fills the description when found.
  std::function<int(platform::DeviceDescription&)> describe_default_input;
  // Capture endpoint `index`: platform::kEndpointOk when the description was filled.
  std::function<int(int index, platform::DeviceDescription&)> describe_capture_endpoint;
  // The default output device: kEndpointOk, or kEndpointNoIcon with the name only.
  std::function<int(platform::DeviceDescription&)> describe_default_output;
  std::function<void()> toggle_input_device_window;
  std::function<void(std::uint32_t colour)> post_parameters;
  std::function<web::MemberCard()> member_card;
  // The colour picker: the chosen 0x00BBGGRR colour, nothing on cancel.
  std::function<std::optional<std::uint32_t>(QWidget* owner, CustomColours& custom)> choose_colour;
  std::function<void()> repaint_main;
};

// The "Marvok Params" window: a top-level window owned by the main window
// showing the input and output devices, the member's card and the background
// colour, which a click on its swatch changes.
class ParamsWindow final : public QWidget {
  Q_OBJECT

 public:
  ParamsWindow(QWidget& main, DisplayState& display, const DeviceState& devices, const ParamsServices& services,
               CustomColours& custom_colours, QPoint position);

  // Ends the opening: the window now draws its content and answers clicks.
  void start();
  // Draws the content afresh at the next paint, looking the devices up again.
  void repaint_content();

  bool ready() const { return ready_; }
  // True from the moment the window is asked to close, before it is deleted.
  bool closing() const { return closing_; }
  const QImage& surface() const { return surface_; }
  // The captions of the last content drawn.
  std::string_view input_caption() const { return input_caption_.data(); }
  std::string_view colour_caption() const { return colour_caption_.data(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void draw_content(QPainter& painter);
  void draw_input_device(QPainter& painter);
  void draw_output_device(QPainter& painter);
  void draw_member_card(QPainter& painter) const;
  void draw_colour(QPainter& painter);
  void pick_colour();

  QWidget& main_;
  DisplayState& display_;
  const DeviceState& devices_;
  const ParamsServices& services_;
  CustomColours& custom_colours_;
  bool ready_ = false;
  bool closing_ = false;
  // The lookups ask the sound server: a paint that only uncovers the window
  // shows the content already drawn.
  bool content_stale_ = true;
  std::array<char, 64> input_caption_{};
  std::array<char, 16> colour_caption_{};
  QImage surface_;
};

// Opens and closes the params window from the main window's PARAMS button.
class ParamsWindowToggle {
 public:
  ParamsWindowToggle(QWidget& main, DisplayState& display, const DeviceState& devices, ParamsServices services,
                     std::chrono::milliseconds growth_pause = kParamsGrowthPause);
  ~ParamsWindowToggle();
  ParamsWindowToggle(const ParamsWindowToggle&) = delete;
  ParamsWindowToggle& operator=(const ParamsWindowToggle&) = delete;

  // Closes the window when open; otherwise opens it, growing it from beside
  // the main window, and returns once it is grown. 0 only when the window
  // could not be created; it then counts as closed.
  int toggle();
  // Redraws the open window's content, if any (after the member chose an input device).
  void repaint_content();

  // The open window, or null.
  ParamsWindow* window() const;
  bool is_open() const { return window() != nullptr; }
  // Kept for the whole run, whichever window picked them.
  const CustomColours& custom_colours() const { return custom_colours_; }

 private:
  QWidget& main_;
  DisplayState& display_;
  const DeviceState& devices_;
  ParamsServices services_;
  std::chrono::milliseconds growth_pause_;
  CustomColours custom_colours_{};
  QPointer<ParamsWindow> window_;
};

}  // namespace marvok::ui
