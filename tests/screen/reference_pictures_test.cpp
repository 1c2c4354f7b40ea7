// Pictures of everything the client draws, each rendered from a fixed state
// with no timer running, and compared with its reference pixel for pixel.
// Each scene is one small function from a state to a picture. The frame shows
// the version number: a new version is recorded again.
#include "screen/reference_pictures.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/startup_images.h"
#include "audio/level_meter.h"
#include "relay/channels.h"
#include "relay/member_table.h"
#include "screen/gif_player.h"
#include "screen/main_drawings.h"
#include "screen/main_layout.h"
#include "screen/member_pictures.h"
#include "screen/network_ring_animation.h"
#include "screen/panel_schedule.h"
#include "ui/qt/custom_dialog.h"
#include "ui/qt/group_list_window.h"
#include "ui/qt/input_device_window.h"
#include "ui/qt/level_meters.h"
#include "ui/qt/network_window.h"
#include "ui/qt/params_window.h"
#include "ui/qt/picture_exchange_window.h"
#include "ui/qt/picture_image.h"
#include "ui/qt/qt_front_end.h"

namespace marvok::testing {
namespace {

using namespace std::chrono_literals;

// The animation as the client reads it, decoded once.
const screen::GifAnimation& animation() {
  static const screen::GifAnimation decoded = [] {
    ui::QtDialogs dialogs([]() -> QWidget* { return nullptr; });
    return *load_gif_animation([]() -> screen::MainWindowHost* { return nullptr; }, dialogs);
  }();
  return decoded;
}

// The main window as start-up leaves it, in the client's order: the frame,
// the start-up marks, the pictures, the meters, the animation's first frame,
// then one round of every panel. Scenes change the state and draw again.
struct MainWindowScene {
  MainWindowScene() {
    window.show();
    QApplication::setActiveWindow(&window);
    window.update_now();
    state.display.InfoLine.set(kWelcomeText);
    state.display.CloseCrossShown = CrossVisibility::Shown;
    screen::draw_startup_marks(window.screen(), state.display);
    player.draw_next_gif_frame();
    load_led_images(images);
    state.lights.reset();
    load_button_images(images, the_window, front_end.dialogs());
    load_icon_images(images, the_window, front_end.dialogs());
    host->create_level_meters(levels);
    load_channel_images(images, the_window, front_end.dialogs());
    state.display.PanelsReady = true;
    set_led(state.lights.TcpLed, LedColor::Yellow);
    state.display.StatusText.set(u"Le synthétiseur est chargé");
    redraw();
  }

  // What the panels' timers and the meters' tick draw where their state changed.
  void redraw() {
    panels.redraw_channel_panel();
    panels.redraw_network_ring();
    panels.redraw_status_panel();
    panels.redraw_help_banner();
    panels.redraw_status_text();
    panels.redraw_status_lights();
    host->redraw_level_meters();
  }

  SessionState state;
  screen::MainWindowImages images;
  ui::QtFrontEnd front_end;
  std::unique_ptr<screen::MainWindowHost> host = front_end.create_main_window(state, {});
  ui::MainWindow& window = *front_end.main_window();
  MainWindowGetter the_window{[this] { return host.get(); }};
  LevelMeterState levels;
  float mic_level = 0.7f, volume_level = 0.4f;
  std::optional<float> level(platform::AudioEndpoint endpoint) const {
    return endpoint == platform::AudioEndpoint::DefaultCapture ? mic_level : volume_level;
  }
  screen::PanelSchedule panels{state,
                               images,
                               [this] { return &window.screen(); },
                               front_end.loop(),
                               [this](platform::AudioEndpoint e) { return level(e); },
                               {}};
  screen::GifAnimationPlayer player{window.screen(), front_end.loop(), animation()};
};

// A scene of the main window: the state changed after start-up, then every panel drawn again.
using MainWindowChange = void (*)(MainWindowScene&);
std::function<QImage()> main_window(MainWindowChange change) {
  return [change] {
    MainWindowScene scene;
    change(scene);
    scene.redraw();
    return scene.window.surface();
  };
}

// Speech going out: the light lit red, the ring turned by the blocks sent, the bars up.
void talking(MainWindowScene& scene) {
  scene.state.talk.set_key(TalkValue::Pressed);
  set_led(scene.state.lights.TxRxLed, LedColor::Red);
  screen::NetworkRingAnimation ring(scene.state.lights, scene.state.talk);
  for (int block = 0; block < 3 * 5; ++block) ring.block_sent();
  std::vector<std::int16_t> voice(2 * kMeteredFrames);
  for (std::size_t i = 0; i < voice.size(); ++i) voice[i] = static_cast<std::int16_t>(i % 2 ? -9000 : 14000);
  for (int block = 0; block < 20; ++block) measure_block_levels(voice, MeterBars::Update, scene.levels);
}

// Every colour code across the lights and round the ring, and one loss.
void light_colours(MainWindowScene& scene) {
  LightsState& lights = scene.state.lights;
  LedCell* named[] = {&lights.TstLed, &lights.HttpsLed, &lights.TxRxLed,
                      &lights.UdpLed, &lights.SvcLed,   &lights.TcpLed};
  for (int i = 0; i < kLedColorCount; ++i) set_led(*named[i], static_cast<LedColor>(i + 1));
  for (std::size_t k = 0; k < lights.NetworkRing.size(); ++k)
    set_led(lights.NetworkRing[k], static_cast<LedColor>(k % kLedColorCount + 1));
  lights.ErrorLevel = 1;
}

void speaker(MainWindowScene& scene) {
  screen::show_speaker_picture(scene.window.screen(), portrait(150, 190, 0xFF3060A0u));
  screen::show_speaker_card(scene.window.screen(), screen::kBlack,
                            {"Amélie", "Besançon", "Ça va très bien, à bientôt !"});
}

// The member's colour painted over the whole window, as when the parameters
// come, the animation's next frame, and the phrase's strip frosted over the
// colour for a speaker without texts.
void frost_strip(MainWindowScene& scene) {
  scene.state.display.BackgroundColor = 0x00A05020;
  scene.window.screen().request_repaint(screen::Rect({0, 0}, screen::kMainWindowSize));
  scene.window.update_now();
  scene.redraw();
  scene.player.draw_next_gif_frame();
  screen::show_speaker_card(scene.window.screen(), screen::Colour::from_colorref(0x00A05020), {});
}

// The accessory's icon, part of the frame: a green disc with a half-transparent
// rim, stretched to its square.
void accessory_icon(MainWindowScene& scene) {
  static const Picture icon = drawn_picture(16, 16, [](int x, int y) {
    const int d = (2 * x - 15) * (2 * x - 15) + (2 * y - 15) * (2 * y - 15);
    return d <= 144 ? 0xFF1EAA3Cu : d <= 196 ? 0x801EAA3Cu : 0x00000000u;
  });
  scene.window.screen().set_frame_overlay([](screen::Canvas& canvas) { screen::draw_accessory_icon(canvas, icon); });
  scene.window.screen().request_repaint(screen::kAccessoryIconArea);
  scene.window.update_now();
}

template <int kChannel, std::int32_t kMembers>
void on_channel(MainWindowScene& scene) {
  relay::select_channel(scene.state.channel, kChannel);
  scene.state.channel.ChannelMemberCount = kMembers;
}

// The left needle meter's own picture at `angle` degrees (0: before any measurement).
std::function<QImage()> needle_meter(std::int32_t angle) {
  return [angle] {
    MainWindowScene scene;
    scene.levels.LeftNeedleAngle = angle;
    scene.host->redraw_level_meters();
    return scene.window.findChild<ui::NeedleMeter*>(QStringLiteral("VuMeterLeftClass"))->surface();
  };
}

// The two bars, left and right, as drawn on the main window.
std::function<QImage()> level_bars(std::int16_t left, std::int16_t right) {
  return [left, right] {
    MainWindowScene scene;
    scene.levels.LeftBarLevel = left;
    scene.levels.RightBarLevel = right;
    scene.host->redraw_level_meters();
    return scene.window.surface().copy(ui::to_qrect(screen::Rect::edges(
        screen::kLeftBarX, screen::kBarTop, screen::kRightBarX + screen::kBarWidth, screen::kBarBottom)));
  };
}

// Tool windows open beside a stand-in for the main window, grown without pauses.
struct ToolWindowScene {
  ToolWindowScene() {
    main.setGeometry(600, 150, 550, 730);
    main.show();
    channel.ChannelPort = kFirstChannelPort + 3;
    channel.ChannelMemberCount = 6;
    list_members(members, 3, {11, 12, 13, 14, 15, 16});
  }

  QWidget main;
  ChannelState channel;
  relay::MemberTable members;
};

QImage network_window() {
  ToolWindowScene scene;
  ui::NetworkWindowToggle toggle(scene.main, scene.channel, scene.members, member_picture, {0ms, 0ms});
  toggle.toggle();
  toggle.window()->repaint();
  return toggle.window()->surface();
}

// The first four rows drawn, one a tick; the others still the bare gradient.
QImage group_list() {
  ToolWindowScene scene;
  list_members(scene.members, 1, {11, 12, 13});
  list_members(scene.members, 2, {14, 16});
  list_members(scene.members, 4, {11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27});
  ui::GroupListWindowToggle toggle(scene.main, scene.members, member_picture, {0ms, 0ms});
  toggle.toggle();
  for (int row = 1; row <= 4; ++row) toggle.window()->tick();
  return toggle.window()->surface();
}

// Device icons from a theme of the test's own, so no installed theme changes them.
void use_test_icon_theme() {
  static QTemporaryDir themes;
  const QDir theme(themes.filePath(QStringLiteral("scenes")));
  theme.mkpath(QStringLiteral("devices"));
  QFile index(theme.filePath(QStringLiteral("index.theme")));
  if (index.open(QIODevice::WriteOnly))
    index.write("[Icon Theme]\nName=scenes\nDirectories=devices\n\n[devices]\nSize=64\nType=Fixed\n");
  index.close();
  ui::to_qimage(portrait(64, 64, 0xFF406080u)).save(theme.filePath(QStringLiteral("devices/audio-headset.png")));
  QIcon::setThemeSearchPaths({themes.path()});
  QIcon::setThemeName(QStringLiteral("scenes"));
}

QImage params_window() {
  use_test_icon_theme();
  ToolWindowScene scene;
  DisplayState display;
  display.BackgroundColor = 0x00A05020;
  DeviceState devices;
  ui::ParamsServices services;
  services.describe_default_input = [](platform::DeviceDescription& out) {
    out = {u"audio-headset", 0, u"Casque USB (Logitech)"};
    return 0;
  };
  services.describe_default_output = [](platform::DeviceDescription& out) {
    out = {u"audio-speakers", 0, u"Haut-parleurs intégrés"};
    return platform::kEndpointNoIcon;
  };
  services.member_card = [] {
    web::MemberCard card;
    const auto put = [](auto& field, std::string_view text) { text.copy(field.data(), field.size() - 1); };
    put(card.first_name, "Amélie");
    put(card.city, "Besançon");
    put(card.phrase, "Ça va très bien !");
    put(card.email, "amelie@exemple.fr");
    put(card.folder, "1042");
    return card;
  };
  ui::ParamsWindowToggle toggle(scene.main, display, devices, std::move(services), {0ms, 0ms});
  toggle.toggle();
  toggle.window()->repaint();
  return toggle.window()->surface();
}

QImage input_device_window() {
  ToolWindowScene scene;
  DeviceState devices;
  devices.SelectedInputDevice = 1;
  screen::InputDeviceSources sources;
  sources.list_devices = [] { return std::vector<std::u16string>{u"Casque USB", u"Micro intégré"}; };
  sources.describe = [](int index, platform::DeviceDescription& out) {
    out.name = index == 0 ? u"Micro intégré (Realtek)" : u"Casque USB (Logitech)";
    return index > 1 ? platform::kEndpointFailed : platform::kEndpointOk;
  };
  ui::InputDeviceWindowToggle toggle(scene.main, devices, {}, sources);
  toggle.toggle();
  return toggle.window()->grab().toImage();
}

// A landscape shared on the channel: sky, sun and fields, fitted below the menu.
QImage picture_exchange_window() {
  ToolWindowScene scene;
  const Picture landscape = drawn_picture(320, 200, [](int x, int y) {
    if (in_ellipse(x, y, 240, 50, 24, 24)) return 0xFFFFD020u;
    if (y > 130) return 0xFF000000u | static_cast<std::uint32_t>(40 + y / 4) << 16 | 0x9000u | (x / 8 % 2 ? 0x20u : 0u);
    return 0xFF000000u | static_cast<std::uint32_t>(90 + y / 2) << 8 | 0xFFu | static_cast<std::uint32_t>(y) << 16;
  });
  ui::PictureExchangeWindowToggle toggle(scene.main, scene.channel,
                                         {[&](int) { return std::optional(landscape); }, {}});
  toggle.toggle();
  return toggle.window()->grab().toImage();
}

// The supervisor's notice, taken while it shows and then closed.
QImage supervisor_notice() {
  QImage shown;
  QTimer::singleShot(0, [&shown] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() == QLatin1String("CustomDialog") && widget->isVisible()) {
        shown = widget->grab().toImage();
        widget->close();
      }
    }
  });
  ui::show_custom_dialog(nullptr, QStringLiteral("Le serveur va redémarrer dans cinq minutes pour une mise à jour. "
                                                 "Merci de votre patience, et à bientôt sur le réseau Marvok !"));
  return shown;
}

struct Scene {
  const char* name;
  std::function<QImage()> render;
};

QImage gif_frame(std::size_t frame) { return ui::to_qimage(animation().frames.at(frame)); }

const Scene kScenes[] = {
    {"main-window-after-startup", main_window([](MainWindowScene&) {})},
    {"main-window-talking", main_window(talking)},
    {"main-window-light-colours", main_window(light_colours)},
    {"main-window-knobs-at-0", main_window([](MainWindowScene& s) { s.mic_level = s.volume_level = 0.0f; })},
    {"main-window-knobs-at-half", main_window([](MainWindowScene& s) { s.mic_level = s.volume_level = 0.5f; })},
    {"main-window-knobs-at-1", main_window([](MainWindowScene& s) { s.mic_level = s.volume_level = 1.0f; })},
    {"main-window-speaker", main_window(speaker)},
    {"main-window-countdown",
     main_window([](MainWindowScene& s) { screen::show_countdown(s.window.screen(), 4499, screen::kBlack); })},
    {"main-window-banner-hover-text", main_window([](MainWindowScene& s) {
       s.window.screen().pointer_moved({427, 387});
     })},
    {"main-window-frost-strip", main_window(frost_strip)},
    {"main-window-close-cross-hovered", main_window([](MainWindowScene& s) {
       s.window.screen().pointer_moved({524, 24});
     })},
    {"main-window-accessory-icon", main_window(accessory_icon)},
    {"main-window-channel-0", main_window(on_channel<0, 4>)},
    {"main-window-channel-7", main_window(on_channel<7, 12>)},
    {"main-window-channel-10-just-changed", main_window(on_channel<10, -1>)},
    {"main-window-codec-pcm",
     main_window([](MainWindowScene& s) { s.state.display.ReceivedFormat = StreamFormat::Pcm; })},
    {"main-window-codec-opus",
     main_window([](MainWindowScene& s) { s.state.display.ReceivedFormat = StreamFormat::Opus; })},
    {"needle-meter-at-rest", needle_meter(0)},
    {"needle-meter-at-218", needle_meter(218)},
    {"needle-meter-at-270", needle_meter(270)},
    {"needle-meter-at-320", needle_meter(320)},
    {"level-bars-silent", level_bars(0, 0)},
    {"level-bars-middle", level_bars(9600, 4000)},
    {"level-bars-full", level_bars(19200, 19200)},
    {"level-bars-out-of-range", level_bars(-500, 32767)},
    {"network-window", network_window},
    {"group-list-window", group_list},
    {"params-window", params_window},
    {"input-device-window", input_device_window},
    {"picture-exchange-window", picture_exchange_window},
    {"supervisor-notice-window", supervisor_notice},
    {"animation-frame-0", [] { return gif_frame(0); }},
    {"animation-frame-1", [] { return gif_frame(1); }},
    {"animation-frame-middle", [] { return gif_frame(animation().frames.size() / 2); }},
    {"animation-frame-last", [] { return gif_frame(animation().frames.size() - 1); }},
};

// Every scene is judged, so one run shows every picture that changed.
TEST(ReferencePictureTest, EverySceneIsDrawnAsRecorded) {
  for (const Scene& scene : kScenes) {
    SCOPED_TRACE(scene.name);
    EXPECT_TRUE(matches_reference_picture(scene.name, scene.render()));
  }
}

}  // namespace
}  // namespace marvok::testing
