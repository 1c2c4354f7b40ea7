#include "ui/qt/input_device_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRadioButton>
#include <optional>

#include "screen/default_input_device.h"
#include "state/session_state.h"
#include "support/box_watcher.h"
#include "ui/qt/qt_dialogs.h"

namespace marvok::ui {
namespace {

// Two microphones, which the endpoints know by longer names, in another order.
int describe_endpoint(int index, platform::DeviceDescription& description) {
  const std::u16string names[] = {u"Webcam Mic (front)", u"Headset Mic (USB)"};
  if (index < 0 || index > 1) return platform::kEndpointFailed;
  description.name = names[index];
  return platform::kEndpointOk;
}

class InputDeviceWindowTest : public ::testing::Test {
 protected:
  InputDeviceWindow& open(int selected) {
    devices.SelectedInputDevice = selected;
    told.clear();
    EXPECT_EQ(toggle.toggle(), 1);
    return *toggle.window();
  }

  DeviceState devices;
  std::vector<int> told;  // the choice as it stood each time the window said it closed
  int listings = 0;
  QWidget main;
  InputDeviceWindowToggle toggle{main,
                                 devices,
                                 [this] { told.push_back(devices.SelectedInputDevice); },
                                 {[this] {
                                    ++listings;
                                    return std::vector<std::u16string>{u"Headset Mic", u"Webcam Mic"};
                                  },
                                  describe_endpoint}};
};

TEST_F(InputDeviceWindowTest, OpensToTheMainWindowsLeftCaptionedByEndpointWithTheSelectedDeviceChecked) {
  main.setGeometry(500, 100, 550, 730);
  main.show();
  for (const int selected : {-1, 1, 14}) {
    SCOPED_TRACE(selected);
    const InputDeviceWindow& window = open(selected);
    EXPECT_EQ(window.objectName(), QStringLiteral("InputDeviceWndClass"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Marvok Input device"));
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(127, 127, 127));
    EXPECT_EQ(window.frameGeometry().topLeft(), main.frameGeometry().topLeft() + QPoint(-300, 200));
    EXPECT_EQ(window.size(), QSize(400, 500));
    ASSERT_EQ(window.buttons().size(), 15u);
    for (int i = 0; i < 15; ++i) {
      const QRadioButton& button = *window.buttons()[static_cast<std::size_t>(i)];
      EXPECT_EQ(button.text(), i == 0 ? "Headset Mic (USB)" : i == 1 ? "Webcam Mic (front)" : "Windows Driver") << i;
      EXPECT_EQ(button.isChecked(), i == selected) << i;
      EXPECT_EQ(button.geometry(), QRect(10, 10 + 30 * i, 350, 25)) << i;
    }
    toggle.toggle();
  }
}

TEST_F(InputDeviceWindowTest, AChoiceSelectsAndClosesAToggleOrTheCloseBoxOnlyCloses) {
  const struct {
    int button;  // -1: the toggle again, -2: the close box
    int selected;
  } cases[] = {{1, 1}, {0, 0}, {5, -1}, {-1, 1}, {-2, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    const QPointer<InputDeviceWindow> window = &open(1);
    if (c.button >= 0) {
      window->buttons()[static_cast<std::size_t>(c.button)]->click();
    } else if (c.button == -1) {
      EXPECT_EQ(toggle.toggle(), 1);
    } else {
      window->close();
    }
    EXPECT_FALSE(toggle.is_open());
    EXPECT_EQ(devices.SelectedInputDevice, c.selected);
    EXPECT_EQ(told, std::vector<int>{c.selected}) << "told once, with the new choice already made";
    for (int i = 0; i < 20 && window; ++i) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
  }
  EXPECT_EQ(listings, 5);  // each opening lists the devices afresh
}

TEST(DefaultInputDeviceTest, FindsTheIndexOrWarnsInABox) {
  const auto at = [](std::optional<int> index) {
    return screen::DefaultInputLookup{[index] { return index; }, describe_endpoint};
  };
  const struct {
    screen::DefaultInputLookup lookup;
    int expected;
    const char16_t* box;
  } cases[] = {
      {at(1), 1, nullptr},
      {at(std::nullopt), -1, u"Impossible de trouver l'index du périphérique !"},
      {at(5), 5, u"Erreur lors de la récupération du périphérique"},  // the index is still given
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    const testing::BoxWatcher watcher;
    platform::DeviceDescription description;
    QtDialogs dialogs([] { return nullptr; });
    EXPECT_EQ(screen::describe_default_input_device(description, c.lookup, dialogs), c.expected);
    const std::vector<testing::SeenBox> boxes = {{QStringLiteral("Error"), QString::fromUtf16(c.box)}};
    EXPECT_EQ(watcher.seen(), c.box ? boxes : std::vector<testing::SeenBox>());
    EXPECT_EQ(description.name, c.box ? u"" : u"Headset Mic (USB)");
  }
}

}  // namespace
}  // namespace marvok::ui
