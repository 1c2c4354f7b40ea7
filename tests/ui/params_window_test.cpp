#include "ui/params_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <vector>

#include "state/session_state.h"
#include "ui/colorref.h"
#include "ui/drawing_helpers.h"

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

const QColor kRedGround(255, 0, 0);
const char16_t* const kName = u"Micro intégré";

// Whether the name row at `y` shows the device name, or only the red background.
bool shows_name(const QImage& surface, int y, bool named) {
  QImage expected(kParamsWindowSize, QImage::Format_RGB32);
  expected.fill(kRedGround);
  QPainter painter(&expected);
  if (named) DrawLabel(painter, QString::fromStdU16String(kName), 20, y, kRed);
  painter.end();
  const QRect row(0, y, 200, 14);
  return surface.copy(row) == expected.copy(row);
}

class ParamsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main.setGeometry(400, 100, 550, 730);
    main.show();
  }

  // Every lookup fills the description in; its status says how much of it counts.
  ParamsServices services() {
    ParamsServices s;
    s.describe_default_input = [this](platform::DeviceDescription& out) {
      out.name = kName;
      return default_index;
    };
    s.describe_capture_endpoint = [this](int index, platform::DeviceDescription& out) {
      capture_lookups.push_back(index);
      out.name = kName;
      return capture_status;
    };
    s.describe_default_output = [this](platform::DeviceDescription& out) {
      out.name = kName;
      return output_status;
    };
    s.toggle_input_device_window = [this] { ++input_windows; };
    s.post_parameters = [this](std::uint32_t colour) { posted.push_back(colour); };
    s.choose_colour = [this](QWidget* owner, CustomColours& custom) {
      pickers += owner == toggle.window() ? 1 : 100;
      seen_custom = std::exchange(custom[0], 0xABCDEF);
      return picked;
    };
    s.repaint_main = [this] { ++main_repaints; };
    return s;
  }

  ParamsWindow& open() {
    EXPECT_EQ(toggle.toggle(), 1);
    EXPECT_TRUE(toggle.is_open());
    return *toggle.window();
  }

  static void click(ParamsWindow& window, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(window.mapToGlobal(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &press);
  }

  DisplayState display;
  DeviceState devices;
  int default_index = 0, capture_status = 0, output_status = 0;
  std::optional<std::uint32_t> picked;
  std::vector<int> capture_lookups;
  std::vector<std::uint32_t> posted;
  int input_windows = 0, pickers = 0, main_repaints = 0;
  std::uint32_t seen_custom = 0;
  QWidget main;
  ParamsWindowToggle toggle{main, display, devices, services(), 0ms};
};

TEST_F(ParamsWindowTest, GrowsBesideTheMainWindowAndKeepsTheCustomColoursAcrossOpenings) {
  for (int opening = 0; opening < 2; ++opening) {
    const QPointer<ParamsWindow> window = &open();
    EXPECT_EQ(window->size(), QSize(200, 450));
    EXPECT_EQ(window->frameGeometry().topLeft(), main.frameGeometry().topLeft() - QPoint(200, 0));
    click(*window, {70, 390});
    EXPECT_EQ(seen_custom, opening == 0 ? 0u : 0xABCDEFu);
    EXPECT_EQ(toggle.toggle(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
  }
}

TEST_F(ParamsWindowTest, DevicesShownAsFarAsTheirLookupsWent) {
  const struct {
    std::int32_t selected, endpoint;  // endpoint of table entry 2
    int default_index, capture_status, output_status;
    const char* caption;
    std::vector<int> capture_lookups;
    bool input_named, output_named;
  } cases[] = {
      {-1, 7, 0, 0, 0, "INPUT DEVICE (Default)", {}, true, true},
      {-1, 7, -1, 0, platform::kEndpointNoIcon, "INPUT DEVICE (Default)", {}, false, true},
      {2, 7, 0, 0, platform::kEndpointFailed, "INPUT DEVICE (2)          ", {7}, true, false},
      {2, 7, 0, platform::kEndpointFailed, 0, "INPUT DEVICE (2)          ", {7}, false, true},
      {2, -1, 0, 0, 0, "INPUT DEVICE (2)          ", {}, false, true},  // no endpoint matched
      {15, 7, 0, 0, 0, "INPUT DEVICE (15)          ", {}, false, true},
      {-7, 7, 0, 0, 0, "INPUT DEVICE (-7)          ", {}, false, true},
  };
  ParamsWindow& window = open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.selected);
    devices.SelectedInputDevice = c.selected;
    devices.InputDeviceTable[2].endpoint_index = c.endpoint;
    default_index = c.default_index, capture_status = c.capture_status, output_status = c.output_status;
    capture_lookups.clear();
    window.repaint_content();
    window.repaint();
    EXPECT_EQ(window.input_caption(), c.caption);
    EXPECT_EQ(capture_lookups, c.capture_lookups);
    EXPECT_TRUE(shows_name(window.surface(), 100, c.input_named));
    EXPECT_TRUE(shows_name(window.surface(), 230, c.output_named));
  }
}

TEST_F(ParamsWindowTest, ClicksOnTheSwatchPickAColourAndInTheDeviceAreaOpenTheDeviceWindow) {
  const struct {
    QPoint at;
    int pickers, input_windows;
  } cases[] = {
      {{70, 390}, 1, 0},  {{60, 383}, 1, 0}, {{74, 397}, 1, 0},  {{75, 390}, 0, 0},  {{70, 398}, 0, 0},
      {{100, 100}, 0, 1}, {{0, 0}, 0, 1},    {{149, 149}, 0, 1}, {{150, 100}, 0, 0}, {{200, 400}, 0, 0},
  };
  ParamsWindow& window = open();
  for (const auto& c : cases) {
    pickers = input_windows = 0;
    click(window, c.at);
    EXPECT_EQ(pickers, c.pickers) << c.at.x() << "," << c.at.y();
    EXPECT_EQ(input_windows, c.input_windows) << c.at.x() << "," << c.at.y();
  }
}

TEST_F(ParamsWindowTest, PickedColourBecomesTheBackgroundAndIsPostedCancelChangesNothing) {
  const struct {
    std::optional<std::uint32_t> picked;
    std::uint32_t background;
    const char* caption;
  } cases[] = {{std::nullopt, 0x00123456, "86.52.18"}, {0x000000FF, 0x000000FF, "255.0.0"}};
  ParamsWindow& window = open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    window.repaint();
    display.BackgroundColor = 0x00123456;  // after the content was drawn: only the click's repaint shows it
    picked = c.picked;
    posted.clear();
    main_repaints = 0;
    click(window, {70, 390});
    EXPECT_EQ(display.BackgroundColor.load(), c.background);
    EXPECT_EQ(posted, c.picked ? std::vector{*c.picked} : std::vector<std::uint32_t>{});
    EXPECT_EQ(main_repaints, 1);
    window.repaint();
    EXPECT_EQ(window.colour_caption(), c.caption);
    EXPECT_EQ(window.surface().pixelColor(74, 397), from_colorref(c.background));  // the swatch's far corner
  }
}

}  // namespace
}  // namespace marvok::ui
