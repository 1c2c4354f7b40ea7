#include "ui/params_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <vector>

#include "state/session_state.h"
#include "ui/colorref.h"
#include "ui/drawing_helpers.h"

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

const QColor kRedGround(255, 0, 0);

// Whether `region` of the window shows what `reference` draws on its red background.
bool drawn_as(const QImage& surface, const QRect& region, const std::function<void(QPainter&)>& reference) {
  QImage expected(kParamsWindowSize, QImage::Format_RGB32);
  expected.fill(kRedGround);
  QPainter painter(&expected);
  reference(painter);
  painter.end();
  return surface.copy(region) == expected.copy(region);
}

// The name row at `y` shows `name`, or nothing when null.
bool name_row(const QImage& surface, int y, const char16_t* name) {
  return drawn_as(surface, QRect(0, y, 200, 14), [&](QPainter& p) {
    if (name) DrawLabel(p, QString::fromStdU16String(name), 20, y, kRed);
  });
}

// Whether the test icon (a blue square amid clear pixels) is at `corner`, on a menu-coloured square.
bool icon_at(const QImage& surface, QPoint corner) {
  return surface.pixelColor(corner + QPoint(32, 32)) == QColor(Qt::blue) &&
         surface.pixelColor(corner + QPoint(2, 2)) == QApplication::palette("QMenu").color(QPalette::Window);
}

class ParamsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A theme holding the one icon "marvok-test-device".
    ASSERT_TRUE(QDir(icons_.path()).mkpath(QStringLiteral("t/64x64/devices")));
    QFile index(icons_.filePath(QStringLiteral("t/index.theme")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=t\nDirectories=64x64/devices\n[64x64/devices]\nSize=64\nType=Fixed\n");
    index.close();
    QImage icon(64, 64, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter(&icon).fillRect(16, 16, 32, 32, Qt::blue);
    ASSERT_TRUE(icon.save(icons_.filePath(QStringLiteral("t/64x64/devices/marvok-test-device.png"))));
    QIcon::setThemeSearchPaths({icons_.path()});
    QIcon::setThemeName(QStringLiteral("t"));
    main.setGeometry(400, 100, 550, 730);
    main.show();
  }

  void TearDown() override {
    QIcon::setThemeName(saved_theme_);
    QIcon::setThemeSearchPaths(saved_paths_);
  }

  ParamsServices services() {
    const auto device = [](std::u16string icon, std::u16string name) {
      return platform::DeviceDescription{std::move(icon), 0, std::move(name)};
    };
    return {
        .describe_default_input =
            [=, this](platform::DeviceDescription& out) {
              if (default_index >= 0) out = device(u"marvok-test-device", u"Micro intégré");
              return default_index;
            },
        .describe_capture_endpoint =
            [=, this](int index, platform::DeviceDescription& out) {
              capture_lookups.push_back(index);
              out = device(u"marvok-test-device", u"Endpoint");
              return capture_status;
            },
        .describe_default_output =
            [=, this](platform::DeviceDescription& out) {
              out = device(output_status == platform::kEndpointNoIcon ? u"" : u"marvok-test-device", u"Haut-parleurs");
              return output_status;
            },
        .toggle_input_device_window = [this] { ++input_windows; },
        .post_parameters = [this](std::uint32_t colour) { posted.push_back(colour); },
        .member_card = [this]() -> const web::MemberCard& { return card; },
        .choose_colour =
            [this](QWidget* owner, platform::CustomColours& custom) {
              pickers += owner == toggle.window() ? 1 : 100;
              seen_custom = std::exchange(custom[0], 0xABCDEF);
              return picked;
            },
        .repaint_main = [this] { ++main_repaints; },
    };
  }

  ParamsWindow& open() {
    EXPECT_EQ(toggle.toggle(), 1);
    EXPECT_TRUE(toggle.is_open());
    return *toggle.window();
  }

  // Redraws the content and gives what the window shows.
  static const QImage& redrawn(ParamsWindow& window) {
    window.repaint_content();
    window.repaint();
    return window.surface();
  }

  static void click(ParamsWindow& window, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(window.mapToGlobal(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &press);
  }

  QTemporaryDir icons_;
  QString saved_theme_ = QIcon::themeName();
  QStringList saved_paths_ = QIcon::themeSearchPaths();
  DisplayState display;
  DeviceState devices;
  web::MemberCard card;
  int default_index = 0, capture_status = 0, output_status = 0;
  std::optional<std::uint32_t> picked;
  std::vector<int> capture_lookups;
  std::vector<std::uint32_t> posted;
  int input_windows = 0, pickers = 0, main_repaints = 0;
  std::uint32_t seen_custom = 0;
  QWidget main;
  ParamsWindowToggle toggle{main, display, devices, services(), 0ms};
};

TEST_F(ParamsWindowTest, GrowsBesideTheMainWindowTogglesClosedAndReopensWithTheSameCustomColours) {
  for (int opening = 0; opening < 2; ++opening) {
    const QPointer<ParamsWindow> window = &open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Marvok Params"));
    EXPECT_EQ(window->parentWidget(), &main);
    EXPECT_TRUE(window->isWindow() && window->isVisible() && window->ready());
    EXPECT_EQ(window->size(), QSize(200, 450));
    EXPECT_EQ(window->frameGeometry().topLeft(), main.frameGeometry().topLeft() - QPoint(200, 0));
    click(*window, {70, 390});  // the picker's custom colours last across openings
    EXPECT_EQ(seen_custom, opening == 0 ? 0u : 0xABCDEFu);
    EXPECT_EQ(toggle.toggle(), 1);
    EXPECT_FALSE(toggle.is_open());
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
    const char16_t *input_name, *output_name;
    bool input_icon, output_icon;
  } cases[] = {
      {-1, 7, 0, 0, 0, "INPUT DEVICE (Default)", {}, u"Micro intégré", u"Haut-parleurs", true, true},
      {-1, 7, -1, 0, -2, "INPUT DEVICE (Default)", {}, nullptr, u"Haut-parleurs", false, false},
      {2, 7, 0, 0, -1, "INPUT DEVICE (2)          ", {7}, u"Endpoint", nullptr, true, false},
      {2, 7, 0, -1, 0, "INPUT DEVICE (2)          ", {7}, nullptr, u"Haut-parleurs", false, true},
      {2, -1, 0, 0, 0, "INPUT DEVICE (2)          ", {}, nullptr, u"Haut-parleurs", false, true},
      {15, 7, 0, 0, 0, "INPUT DEVICE (15)          ", {}, nullptr, u"Haut-parleurs", false, true},
      {-7, 7, 0, 0, 0, "INPUT DEVICE (-7)          ", {}, nullptr, u"Haut-parleurs", false, true},
  };
  ParamsWindow& window = open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    devices.SelectedInputDevice = c.selected;
    devices.InputDeviceTable[2].endpoint_index = c.endpoint;
    default_index = c.default_index, capture_status = c.capture_status, output_status = c.output_status;
    capture_lookups.clear();
    const QImage& surface = redrawn(window);
    EXPECT_EQ(window.input_caption(), c.caption);
    EXPECT_TRUE(drawn_as(surface, QRect(0, 10, 200, 14),
                         [&](QPainter& p) { DrawLabel(p, QString::fromLatin1(c.caption), 50, 10, kRed); }));
    EXPECT_EQ(capture_lookups, c.capture_lookups);
    EXPECT_TRUE(name_row(surface, 100, c.input_name));
    EXPECT_TRUE(name_row(surface, 230, c.output_name));
    EXPECT_EQ(icon_at(surface, {50, 30}), c.input_icon);
    EXPECT_EQ(icon_at(surface, {50, 160}), c.output_icon);
  }
}

TEST_F(ParamsWindowTest, ClicksOnTheSwatchPickAColourAndInTheDeviceAreaOpenTheDeviceWindow) {
  // The two areas do not meet: no click does both.
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
  } cases[] = {
      {std::nullopt, 0x00123456, "86.52.18"},
      {0x000000FF, 0x000000FF, "255.0.0"},
      {0x00FF8000, 0x00FF8000, "0.128.255"},
  };
  ParamsWindow& window = open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    display.BackgroundColor = 0x00123456;
    picked = c.picked;
    posted.clear();
    main_repaints = 0;
    window.repaint();
    click(window, {70, 390});
    EXPECT_EQ(display.BackgroundColor.load(), c.background);
    EXPECT_EQ(posted, c.picked ? std::vector{*c.picked} : std::vector<std::uint32_t>{});
    EXPECT_EQ(main_repaints, 1);

    window.repaint();  // no content asked for but the click's
    EXPECT_EQ(window.colour_caption(), c.caption);
    const QImage& surface = window.surface();
    for (const QPoint inside : {QPoint(60, 383), QPoint(74, 397)})
      EXPECT_EQ(surface.pixelColor(inside), from_colorref(c.background));
    EXPECT_EQ(surface.pixelColor(75, 390), kRedGround);
    const QRect caption(80, 380, 120, 20);
    EXPECT_TRUE(drawn_as(surface, caption, [&](QPainter& p) { DrawUtf8Text(p, c.caption, 80, 380, kYellow); }));
    EXPECT_FALSE(drawn_as(surface, caption, [](QPainter& p) { DrawUtf8Text(p, "255.0.1", 80, 380, kYellow); }));
  }
}

}  // namespace
}  // namespace marvok::ui
