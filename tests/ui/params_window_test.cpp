#include "ui/qt/params_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <vector>

#include "state/session_state.h"

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

class ParamsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main.setGeometry(400, 100, 550, 730);
    main.show();
  }

  ParamsServices services() {
    ParamsServices s;
    s.toggle_input_device_window = [this] { ++input_windows; };
    s.post_parameters = [this](std::uint32_t colour) { posted.push_back(colour); };
    s.choose_colour = [this](QWidget* owner, CustomColours& custom) {
      owners.push_back(owner);
      seen_custom = std::exchange(custom[0], 0xABCDEF);
      if (during_pick) during_pick();
      return std::optional<std::uint32_t>(0x000000FF);
    };
    s.repaint_main = [this] { ++main_repaints; };
    return s;
  }

  ToolWindow& open() {
    EXPECT_EQ(toggle.toggle(), 1);
    EXPECT_TRUE(toggle.is_open());
    return *toggle.window();
  }

  static void press(QWidget& window, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(at), QPointF(window.mapToGlobal(at)), button, button,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &event);
  }

  DisplayState display;
  DeviceState devices;
  std::vector<QWidget*> owners;
  std::vector<std::uint32_t> posted;
  int input_windows = 0, main_repaints = 0;
  std::uint32_t seen_custom = 0;
  std::function<void()> during_pick;
  QWidget main;
  ParamsWindowToggle toggle{main, display, devices, services(), {0ms, 0ms}};
};

TEST_F(ParamsWindowTest, GrowsBesideTheMainWindowAndKeepsTheCustomColoursAcrossOpenings) {
  for (int opening = 0; opening < 2; ++opening) {
    const QPointer<ToolWindow> window = &open();
    EXPECT_EQ(window->objectName(), QStringLiteral("ParamWndClass"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Marvok Params"));
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating) && window->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(window->size(), QSize(200, 450));
    EXPECT_EQ(window->frameGeometry().topLeft(), main.frameGeometry().topLeft() - QPoint(200, 0));
    press(*window, {70, 390});
    EXPECT_EQ(owners.back(), window.data()) << "the picker is the window's own";
    EXPECT_EQ(seen_custom, opening == 0 ? 0u : 0xABCDEFu);
    EXPECT_EQ(toggle.toggle(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
  }
}

TEST_F(ParamsWindowTest, LeftPressesReachTheContentOthersDoNot) {
  ToolWindow& window = open();
  press(window, {100, 100}, Qt::RightButton);
  press(window, {70, 390}, Qt::MiddleButton);
  EXPECT_EQ(input_windows, 0);
  EXPECT_TRUE(owners.empty());
  press(window, {100, 100});
  EXPECT_EQ(input_windows, 1);
  press(window, {70, 390});
  EXPECT_EQ(posted, std::vector<std::uint32_t>{0x000000FF});
  EXPECT_EQ(main_repaints, 1);
}

TEST_F(ParamsWindowTest, RepaintingTheContentLooksTheDevicesUpAgain) {
  ToolWindow& window = open();
  window.repaint();
  EXPECT_EQ(toggle.content()->drawn().input_caption, "INPUT DEVICE (Default)");
  devices.SelectedInputDevice = 2;
  toggle.repaint_content();
  window.repaint();
  EXPECT_EQ(toggle.content()->drawn().input_caption, "INPUT DEVICE (2)          ");
  toggle.toggle();
  EXPECT_EQ(toggle.content(), nullptr);
  toggle.repaint_content();  // nothing open: nothing to do
}

TEST_F(ParamsWindowTest, ClosedAndDeletedWhileThePickerRuns) {
  const QPointer<ToolWindow> window = &open();
  during_pick = [&] {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  };
  press(*window, {70, 390});
  EXPECT_TRUE(window.isNull());
  EXPECT_EQ(display.BackgroundColor.load(), 0x000000FFu);
  EXPECT_EQ(posted.size(), 1u);
  EXPECT_EQ(main_repaints, 1);
}

}  // namespace
}  // namespace marvok::ui
