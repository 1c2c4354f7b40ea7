#include "ui/input_device_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRadioButton>
#include <optional>

#include "state/session_state.h"
#include "support/box_watcher.h"
#include "ui/default_input_device.h"

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
  void SetUp() override {
    main.setGeometry(500, 100, 550, 730);
    main.show();
  }
  InputDeviceWindow& open(int selected) {
    devices.SelectedInputDevice = selected;
    told.clear();
    EXPECT_EQ(toggle.toggle(), 1);
    return *toggle.window();
  }
  static void wait_for_deletion(const QPointer<InputDeviceWindow>& window) {
    for (int i = 0; i < 20 && window; ++i) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  DeviceState devices;
  // The choice as it stood each time the window said it closed.
  std::vector<int> told;
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

TEST_F(InputDeviceWindowTest, OpensGreyToTheMainWindowsLeftWithTheSelectedDeviceChecked) {
  for (const int selected : {-1, 1, 14}) {
    SCOPED_TRACE(selected);
    InputDeviceWindow& window = open(selected);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Marvok Input device"));
    EXPECT_EQ(window.parentWidget(), &main);
    EXPECT_TRUE(window.isWindow() && window.isVisible());
    EXPECT_EQ(window.frameGeometry().topLeft(), main.frameGeometry().topLeft() + QPoint(-300, 200));
    EXPECT_EQ(window.size(), QSize(400, 500));
    EXPECT_EQ(window.grab().toImage().pixelColor(380, 480), QColor(127, 127, 127));
    ASSERT_EQ(window.buttons().size(), 15u);
    for (int i = 0; i < 15; ++i) {
      const QRadioButton& button = *window.buttons()[static_cast<std::size_t>(i)];
      const char* caption = i == 0 ? "Headset Mic (USB)" : i == 1 ? "Webcam Mic (front)" : "Windows Driver";
      EXPECT_EQ(button.text(), QString::fromUtf8(caption));
      EXPECT_EQ(button.geometry(), QRect(10, 10 + 30 * i, 350, 25));
      EXPECT_EQ(button.isChecked(), i == selected) << i;
    }
    toggle.toggle();
  }
}

TEST_F(InputDeviceWindowTest, AChoiceSelectsAndClosesAToggleOrTheCloseBoxOnlyCloses) {
  const struct {
    const char* how;
    int button;  // -1: the toggle again, -2: the close box
    int selected;
  } cases[] = {{"button 1", 1, 1}, {"button 0", 0, 0}, {"button 5", 5, -1}, {"toggle", -1, 1}, {"close box", -2, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    const QPointer<InputDeviceWindow> window = &open(1);
    if (c.button >= 0)
      window->buttons()[static_cast<std::size_t>(c.button)]->click();
    else if (c.button == -1)
      EXPECT_EQ(toggle.toggle(), 1);
    else
      window->close();
    EXPECT_FALSE(toggle.is_open());
    EXPECT_EQ(devices.SelectedInputDevice, c.selected);
    // Told once, when the new choice is already made.
    EXPECT_EQ(told, std::vector<int>{c.selected});
    wait_for_deletion(window);
    EXPECT_TRUE(window.isNull());
  }
  EXPECT_EQ(listings, 5);  // each opening lists the devices afresh
}

TEST(DefaultInputDeviceTest, FindsTheIndexOrWarnsInABox) {
  const auto at = [](std::optional<int> index) { return [index] { return index; }; };
  const struct {
    const char* name;
    DefaultInputLookup lookup;
    int expected;
    std::vector<testing::SeenBox> boxes;
    std::u16string described;
  } cases[] = {
      {"found", {at(1), describe_endpoint}, 1, {}, u"Headset Mic (USB)"},
      {"not an active endpoint",
       {at(std::nullopt), describe_endpoint},
       -1,
       {{QStringLiteral("Error"), QStringLiteral("Impossible de trouver l'index du périphérique !")}},
       u"kept"},
      {"description unreadable",
       {at(5), describe_endpoint},
       5,
       {{QStringLiteral("Error"), QStringLiteral("Erreur lors de la récupération du périphérique")}},
       u"kept"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const testing::BoxWatcher watcher;
    platform::DeviceDescription description{u"", 0, u"kept"};
    EXPECT_EQ(describe_default_input_device(description, c.lookup), c.expected);
    EXPECT_EQ(watcher.seen(), c.boxes);
    EXPECT_EQ(description.name, c.described);
  }
}

}  // namespace
}  // namespace marvok::ui
