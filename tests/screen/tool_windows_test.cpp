// What the tool windows show, do and how they grow, read from a recording
// canvas, whichever front end shows them.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "screen/group_rows.h"
#include "screen/input_device_list.h"
#include "screen/network_grid.h"
#include "screen/params_content.h"
#include "screen/picture_exchange.h"
#include "tests/screen/recording_canvas.h"

namespace marvok::screen {
namespace {

using Lines = std::vector<std::string>;

bool drew(const Lines& lines, const std::string& line) { return std::ranges::find(lines, line) != lines.end(); }

// Members 11 to 13 have pictures as wide as their number, 15's does not
// decode, the others have none.
std::optional<Picture> fake_picture(std::uint16_t member) {
  if (member == 15) return Picture();
  if (member < 11 || member > 13) return std::nullopt;
  return Picture{member, 1, std::vector<std::uint32_t>(member, 0xFF000000)};
}

void list_channel(relay::MemberTable& table, int channel, std::int32_t count, const std::vector<std::int32_t>& ids) {
  table.ChannelMemberCounts[channel] = count;
  for (std::size_t i = 0; i < ids.size(); ++i) table.ChannelMembers[channel][i] = ids[i];
}

// One letter a cell for what was last drawn exactly on it: G green, a, b, c
// the pictures of members 11, 12, 13, - nothing.
std::string cells_of(const Lines& lines, const std::vector<Rect>& cells) {
  std::string letters;
  for (const Rect& cell : cells) {
    char letter = '-';
    for (const std::string& line : lines) {
      if (line.find(' ' + RecordingCanvas::describe(cell) + ' ') == std::string::npos) continue;
      letter = line.ends_with(" #ff00") ? 'G' : static_cast<char>('a' + line[line.rfind('x') - 1] - '1');
    }
    letters += letter;
  }
  return letters;
}

std::vector<Rect> network_cells() {
  std::vector<Rect> cells;
  for (int i = 0; i < 16; ++i) cells.push_back(network_cell(i));
  return cells;
}

TEST(NetworkGridTest, PicturesFirstThenGreenForThePlacesLeftFourToARow) {
  EXPECT_EQ(network_cell(5), Rect(81, 98, 66, 83));
  const struct {
    std::int32_t port, count;
    std::vector<std::int32_t> listed;
    bool with_source;
    const char* cells;
  } cases[] = {
      {30003, 3, {11, 12, 13}, true, "abcGGGGGGGGGGGGG"},
      {30003, 3, {11, 14, 13}, true, "acGGGGGGGGGGGGG-"},  // 14 has no picture: no cell
      {30003, 3, {11, 15, 13}, true, "a-cGGGGGGGGGGGGG"},  // 15's does not decode: its cell stays
      {30003, 3, {11, 12, 13}, false, "GGGGGGGGGGGGG---"},
      {30003, 40, std::vector<std::int32_t>(16, 12), true, "bbbbbbbbbbbbbbbb"},
      {30003, -1, {11}, true, "GGGGGGGGGGGGGGGG"},
      {30050, 3, {11, 12, 13}, true, "GGGGGGGGGGGGGGGG"},  // no such channel
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cells);
    ChannelState channel;
    channel.ChannelPort = c.port;
    relay::MemberTable table;
    // Neighbouring channels' lists must not leak into this one's.
    list_channel(table, 2, 16, std::vector<std::int32_t>(16, 13));
    list_channel(table, 4, 16, std::vector<std::int32_t>(16, 13));
    list_channel(table, 3, c.count, c.listed);
    RecordingCanvas canvas;
    draw_correspondents(canvas, channel, table, c.with_source ? MemberPictures(fake_picture) : MemberPictures());
    EXPECT_EQ(cells_of(canvas.lines(), network_cells()), c.cells);
    // Nothing drawn but the cells.
    EXPECT_EQ(std::ssize(canvas.lines()), std::ranges::count_if(std::string(c.cells), [](char l) { return l != '-'; }));
  }
}

TEST(NetworkScreenTest, GridAtEachPaintOnceGrownRepaintOnANewCountCloseOnChannelZero) {
  ChannelState channel;
  channel.ChannelPort = 30003;
  channel.ChannelMemberCount = 3;
  relay::MemberTable members;
  list_channel(members, 3, 3, {11, 12, 13});
  RecordingSurface surface(kNetworkWindowLook.size);
  RecordingHost host;
  NetworkScreen screen(channel, members, fake_picture, surface, host);
  EXPECT_EQ(screen.before_paint(), PaintOutcome::Show);
  EXPECT_EQ(surface.canvas.lines(), Lines{"fill 0,0+315x460 #ffff00"});  // yellow while growing
  screen.start();
  surface.canvas.lines().clear();
  screen.before_paint();
  EXPECT_EQ(surface.canvas.lines().front(), "fill 0,0+315x460 #ffff00");
  EXPECT_EQ(cells_of(surface.canvas.lines(), network_cells()), "abcGGGGGGGGGGGGG");

  const struct {
    std::int32_t port, count;
    int repaints, closes;
  } ticks[] = {{30003, 3, 0, 0}, {30003, 4, 1, 0}, {30003, 4, 1, 0}, {30003, -1, 2, 0}, {30000, 2, 2, 1}};
  for (const auto& t : ticks) {
    channel.ChannelPort = t.port;
    channel.ChannelMemberCount = t.count;
    screen.tick();
    EXPECT_EQ(host.repaints, t.repaints) << t.count;
    EXPECT_EQ(host.closes, t.closes) << t.port;
  }
  EXPECT_EQ(screen.before_paint(), PaintOutcome::Close);
}

TEST(GroupRowsTest, RowShowsItsChannelsPicturesThenGreenItsNumberAndTheMarkersFromTheOuterEdge) {
  const struct {
    int row;
    std::int32_t count;
    std::vector<std::int32_t> listed;
    const char* cells;
    const char* drawn;  // the number, this row's marker, the previous row's
  } cases[] = {
      {1,
       3,
       {11, 14, 13},
       "acGGGGGGGGGGGGGG",
       "centred 2,20+15x15 01|fill 655,21+10x10 #ff0000|fill 655,480+10x10 #6496ff"},
      {1, 3, {11, 15, 13}, "aGcGGGGGGGGGGGGG", ""},
      {1, 40, std::vector<std::int32_t>(16, 12), "bbbbbbbbbbbbbbbb", ""},
      {1, -3, {11}, "GGGGGGGGGGGGGGGG", ""},
      {10,
       2,
       {13, 11},
       "caGGGGGGGGGGGGGG",
       "centred 2,479+15x15 10|fill 655,480+10x10 #ff0000|fill 655,429+10x10 #6496ff"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cells);
    relay::MemberTable members;
    list_channel(members, c.row - 1, 16, std::vector<std::int32_t>(16, 13));
    list_channel(members, c.row, c.count, c.listed);
    RecordingCanvas canvas;
    draw_group_row(canvas, c.row, members, fake_picture, 690);
    std::vector<Rect> cells;
    for (int cell = 0; cell < kGroupListCellsPerRow; ++cell) cells.push_back(group_cell(c.row, cell));
    EXPECT_EQ(cells_of(canvas.lines(), cells), c.cells);
    std::string drawn;
    for (const std::string& line : canvas.lines()) {
      if (line.starts_with("centred")) drawn += line.substr(0, line.find(" 12 #")) + '|';
      if (line.starts_with("fill 655")) drawn += line + '|';
    }
    if (*c.drawn) {
      EXPECT_EQ(drawn, c.drawn + std::string("|"));
    }
  }
  EXPECT_EQ(group_cell(10, 15), Rect(590, 469, 33, 41));
}

TEST(GroupListScreenTest, GradientOnceGrownThenOneRowATickInTurnUnderTheWarning) {
  relay::MemberTable members;
  RecordingSurface surface(kGroupListWindowLook.size);
  RecordingHost host;
  host.outer = {700, 680};
  int next_row = 9;
  GroupListScreen screen(members, fake_picture, next_row, surface, host);
  EXPECT_EQ(surface.canvas.lines(), Lines{"fill 0,0+666x650 #ff"});
  screen.start();
  EXPECT_EQ(surface.canvas.lines().back(), "gradient 0,0+666x650 #0 #ffffff");
  for (const int row : {9, 10, 1, 2}) {
    surface.canvas.lines().clear();
    screen.tick();
    EXPECT_EQ(next_row, row % 10 + 1);
    EXPECT_TRUE(
        drew(surface.canvas.lines(), "fill " + RecordingCanvas::describe(group_row_marker(row, 700)) + " #ff0000"));
    EXPECT_EQ(surface.canvas.lines().back(),
              "centred 0,570+666x15 car elle consomme beaucoup de ressources r?seau 15 #ffffff - unclipped");
  }
  EXPECT_EQ(surface.presented, std::vector<Rect>(4, Rect(0, 0, 666, 650)));
  next_row = 42;  // the counter lives outside the window: out of range, it starts over
  screen.tick();
  EXPECT_EQ(next_row, 2);
}

TEST(ParamsContentTest, DevicesShownAsFarAsTheirLookupsWent) {
  using platform::kEndpointFailed, platform::kEndpointNoIcon;
  const struct {
    std::int32_t selected, endpoint;  // endpoint of table entry 2
    int default_index, capture_status, output_status;
    const char* caption;
    std::vector<int> capture_lookups;
    std::u16string input, output;  // icon and name
  } cases[] = {
      {-1, 7, 0, 0, 0, "INPUT DEVICE (Default)", {}, u"headset Micro", u"speakers Casque"},
      {-1, 7, -1, 0, kEndpointNoIcon, "INPUT DEVICE (Default)", {}, u" ", u" Casque"},
      {2, 7, 0, 0, kEndpointFailed, "INPUT DEVICE (2)          ", {7}, u"mic Micro", u" "},
      {2, 7, 0, kEndpointNoIcon, 0, "INPUT DEVICE (2)          ", {7}, u" Micro", u"speakers Casque"},
      {2, -1, 0, 0, 0, "INPUT DEVICE (2)          ", {}, u" ", u"speakers Casque"},  // no endpoint matched
      {15, 7, 0, 0, 0, "INPUT DEVICE (15)          ", {}, u" ", u"speakers Casque"},
      {-7, 7, 0, 0, 0, "INPUT DEVICE (-7)          ", {}, u" ", u"speakers Casque"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    DeviceState devices;
    devices.SelectedInputDevice = c.selected;
    devices.InputDeviceTable[2].endpoint_index = c.endpoint;
    std::vector<int> capture_lookups;
    // Every lookup fills the description in; its status says how much of it counts.
    ParamsLookups lookups;
    lookups.describe_default_input = [&](platform::DeviceDescription& out) {
      out = {u"headset", 0, u"Micro"};
      return c.default_index;
    };
    lookups.describe_capture_endpoint = [&](int index, platform::DeviceDescription& out) {
      capture_lookups.push_back(index);
      out = {u"mic", 0, u"Micro"};
      return c.capture_status;
    };
    lookups.describe_default_output = [&](platform::DeviceDescription& out) {
      out = {u"speakers", 0, u"Casque"};
      return c.output_status;
    };
    const ParamsContent content = look_up_params(devices, 0, lookups);
    EXPECT_EQ(content.input_caption, c.caption);
    EXPECT_EQ(capture_lookups, c.capture_lookups);
    EXPECT_EQ(content.input.icon_path + u' ' + content.input.name, c.input);
    EXPECT_EQ(content.output.icon_path + u' ' + content.output.name, c.output);
  }
}

TEST(ParamsContentTest, DevicesCardAndSwatchInTheirPlaces) {
  ParamsContent content{"INPUT DEVICE (Default)", {u"audio-headset", 0, u"Micro"}, {}, {}, 0x00A05020};
  std::string_view("Amélie").copy(content.card.first_name.data(), 63);
  RecordingCanvas canvas;
  draw_params_content(canvas, content);
  for (const char* line :
       {"text 50,10 INPUT DEVICE (Default) 14 #ffffff #ff0000", "icon 50,30+64x64 audio-headset",
        "text 20,100 Micro 14 #ffffff #ff0000", "text 50,140 OUTPUT DEVICE 14 #ffffff #ff0000", "icon 50,160+64x64 ",
        "text 10,260 Am?lie 20 #ffffff -", "text 80,380 32.80.160 20 #ffff00 -"})
    EXPECT_TRUE(drew(canvas.lines(), line)) << line;
  EXPECT_TRUE(canvas.lines_starting("text 20,230").empty());  // no output name
  // Framed in the system's shadow colour, then filled over the frame.
  const auto frame = std::ranges::find(canvas.lines(), "frame 60,383+15x15 #c8c8c8");
  ASSERT_NE(frame, canvas.lines().end());
  EXPECT_EQ(*(frame + 1), "fill 60,383+15x15 #2050a0");
}

class ParamsScreenTest : public ::testing::Test {
 protected:
  ParamsCommands commands() {
    ParamsCommands c;
    c.toggle_input_device_window = [this] { calls += "device "; };
    c.choose_colour = [this] {
      calls += "pick ";
      if (close_while_picking) screen.reset();
      return picked;
    };
    c.post_parameters = [this](std::uint32_t colour) { calls += "post" + std::to_string(colour) + ' '; };
    c.repaint_main = [this] { calls += "main "; };
    c.activate_main = [this] { calls += "activate"; };
    return c;
  }

  DisplayState display;
  DeviceState devices;
  std::string calls;
  std::optional<std::uint32_t> picked;
  bool close_while_picking = false;
  RecordingSurface surface{kParamsWindowLook.size};
  std::unique_ptr<ParamsScreen> screen =
      std::make_unique<ParamsScreen>(display, devices, ParamsLookups{}, commands(), surface);
};

TEST_F(ParamsScreenTest, TheSwatchPicksAColourTheDeviceAreaOpensTheDeviceWindow) {
  const std::pair<Point, const char*> cases[] = {
      {{70, 390}, "pick main activate"},
      {{60, 383}, "pick main activate"},
      {{74, 397}, "pick main activate"},
      {{75, 390}, ""},
      {{70, 398}, ""},
      {{0, 0}, "device "},
      {{149, 149}, "device "},
      {{150, 100}, ""},
      {{-1, 20}, ""},
  };
  for (const auto& [at, expected] : cases) {
    calls.clear();
    screen->left_press(at);
    EXPECT_EQ(calls, expected) << at.x << "," << at.y;
  }
}

TEST_F(ParamsScreenTest, DrawnOnceGrownAgainWhenAskedAndAfterAColourIsPicked) {
  const auto paint_draws = [this] {
    surface.canvas.lines().clear();
    screen->before_paint();
    return !surface.canvas.lines().empty();
  };
  EXPECT_FALSE(paint_draws());
  screen->start();
  EXPECT_TRUE(paint_draws());
  EXPECT_FALSE(paint_draws());
  screen->repaint_content();
  EXPECT_TRUE(paint_draws());

  for (const std::optional<std::uint32_t> choice : {std::optional<std::uint32_t>(), std::optional(0x0000FFu)}) {
    display.BackgroundColor = 0x00123456;
    picked = choice;
    calls.clear();
    screen->left_press({70, 390});
    EXPECT_EQ(calls, choice ? "pick post255 main activate" : "pick main activate");
    EXPECT_TRUE(paint_draws());
    EXPECT_EQ(screen->drawn().colour, choice.value_or(0x00123456));
  }
}

TEST_F(ParamsScreenTest, WindowGoneWhileThePickerRunsLeavesTheRestToTheClient) {
  picked = 0x00ABCDEF;
  close_while_picking = true;
  ParamsScreen& doomed = *screen;
  doomed.left_press({70, 390});
  EXPECT_EQ(calls, "pick post11259375 main activate");
  EXPECT_EQ(display.BackgroundColor.load(), 0x00ABCDEFu);
}

TEST(InputDeviceListTest, FifteenButtonsDownTheWindowAndAChoiceSelectsTheEntrysDevice) {
  DeviceState devices;
  devices.InputDeviceTable[1] = {4, 0, u"", u"Casque USB (Logitech)", u"Casque USB"};
  devices.SelectedInputDevice = 1;
  const std::vector<InputDeviceChoice> choices = input_device_choices(devices);
  ASSERT_EQ(choices.size(), 15u);
  EXPECT_EQ(choices[1], (InputDeviceChoice{u"Casque USB (Logitech)", {10, 40, 350, 25}, true}));
  EXPECT_EQ(choices[14], (InputDeviceChoice{u"Windows Driver", {10, 430, 350, 25}, false}));
  const std::pair<int, std::int32_t> chosen[] = {{0, -1}, {1, 4}, {15, 4}, {-1, 4}};
  for (const auto& [k, selected] : chosen) {
    choose_input_device(devices, k);
    EXPECT_EQ(devices.SelectedInputDevice.load(), selected) << k;
  }
}

TEST(InputDeviceListTest, RefreshAsksEachEndpointOnce) {
  std::map<int, int> asked;
  const InputDeviceSources sources{[] {
                                     return std::vector<std::u16string>{u"Webcam", u"Headset", u"Line"};
                                   },
                                   [&asked](int index, platform::DeviceDescription& description) {
                                     ++asked[index];
                                     if (index > 1) return platform::kEndpointFailed;
                                     description.name = index == 0 ? u"Headset Mic (USB)" : u"Webcam Mic (front)";
                                     return platform::kEndpointOk;
                                   }};
  DeviceState devices;
  refresh_input_devices(devices, sources);
  EXPECT_EQ(devices.InputDeviceTable[0].endpoint_name, u"Webcam Mic (front)");
  EXPECT_EQ(devices.InputDeviceTable[1].endpoint_name, u"Headset Mic (USB)");
  for (const auto& [index, times] : asked) EXPECT_EQ(times, 1) << index;
}

TEST(PictureFitTest, LargestCentredRectKeepingProportions) {
  const struct {
    Size picture, area;
    Rect expected;
  } cases[] = {
      {{300, 150}, {584, 541}, {0, 124, 584, 292}},
      {{100, 400}, {584, 541}, {224, 0, 135, 541}},
      {{2, 1}, {600, 400}, {0, 50, 600, 300}},
      {{4000, 3000}, {600, 541}, {0, 45, 600, 450}},
      {{0, 150}, {584, 541}, {}},
      {{300, 150}, {0, 541}, {}},
      {{-300, 150}, {584, 541}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(fit_picture(c.picture, c.area), c.expected) << c.picture.width;
}

Picture plain(int width, int height) {
  return {width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), 0xFF102030)};
}

TEST(PictureExchangeTest, FetchedOnceADisplayKeptWhenNothingCameFittedOverTheWindowsGround) {
  const struct {
    const char* step;
    std::optional<Picture> reply;
    bool fetched;
    const char* drawn;
  } steps[] = {
      {"open", std::nullopt, true, nullptr},
      {"paint", plain(30, 20), false, nullptr},
      {"refresh", plain(30, 20), true, "stretched 150,0+300x200 30x20 scaled-first"},
      {"paint", plain(10, 10), false, "stretched 150,0+300x200 30x20 scaled-first"},
      {"refresh", std::nullopt, true, "stretched 150,0+300x200 30x20 scaled-first"},
      {"open", plain(10, 10), true, "stretched 200,0+200x200 10x10 scaled-first"},
      {"refresh", Picture(), true, nullptr},
  };
  PictureExchangeState state;
  for (const auto& s : steps) {
    SCOPED_TRACE(s.step);
    if (std::string(s.step) == "open") open_picture_exchange(state);
    if (std::string(s.step) == "refresh") state.picture_loaded = false;
    bool fetched = false;
    RecordingCanvas canvas;
    draw_picture_exchange(canvas, {600, 200}, state, [&] {
      fetched = true;
      return s.reply;
    });
    EXPECT_EQ(fetched, s.fetched);
    EXPECT_EQ(canvas.lines().front(), "fill 0,0+600x200 #c8c8c8");
    EXPECT_EQ(canvas.lines_starting("stretched"), s.drawn ? Lines{s.drawn} : Lines{});
  }
  // The list is walked to its end or its limit, whatever it holds.
  state.picture = plain(4, 3);
  const ExchangeElement picture{ExchangeElementKind::SharedPicture, {5, 5}};
  const std::pair<std::vector<ExchangeElement>, std::size_t> lists[] = {
      {{picture, {}, picture}, 1}, {std::vector<ExchangeElement>(150, picture), kMaxExchangeElements}};
  for (const auto& [elements, drawn] : lists) {
    state.elements = elements;
    RecordingCanvas canvas;
    draw_picture_exchange(canvas, {400, 300}, state, {});
    EXPECT_EQ(canvas.lines_starting("stretched").size(), drawn);
  }
}

// The main window's frame, as a window system with 2-pixel frames gives it.
constexpr Rect kMainFrame{98, 148, 554, 734};

TEST(GrowthTest, EachToolWindowOpensBesideTheMainWindowAndGrowsToItsSize) {
  const struct {
    const char* name;
    Growth growth;
    GrowthStep first, unfolded;
    std::size_t unfolding, widening;
    Point grown_at;
    Size size;
  } cases[] = {
      {"network",
       network_window_growth(kMainFrame),
       {{602, 348}, {0, 0}},
       {{652, 148}, {200, 200}},
       11,
       27,
       {652, 148},
       kNetworkWindowLook.size},
      {"group list",
       group_list_growth(kMainFrame),
       {{198, 283}, {0, 0}},
       {{248, 83}, {200, 200}},
       11,
       61,
       {248, 83},
       kGroupListWindowLook.size},
      {"params",
       params_window_growth(kMainFrame),
       {{98, 348}, {0, 0}},
       {{-102, 148}, {200, 200}},
       21,
       26,
       {-102, 148},
       kParamsWindowLook.size},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.growth.unfolding.size(), c.unfolding);
    EXPECT_EQ(c.growth.unfolding.front(), c.first);
    EXPECT_EQ(c.growth.unfolding.back(), c.unfolded);
    const std::vector<GrowthStep> widening = c.growth.widening(Rect(c.unfolded.position, c.unfolded.size));
    ASSERT_EQ(widening.size(), c.widening);
    EXPECT_EQ(widening.back(), (GrowthStep{c.grown_at, c.size}));
  }
  EXPECT_EQ(params_window_growth(kMainFrame).opening, (Point{-102, 348}));
  EXPECT_EQ(input_device_window_position(kMainFrame), (Point{-202, 348}));
  EXPECT_EQ(picture_exchange_position(kMainFrame), (Point{-102, 198}));
  // A window that did not unfold as asked widens from where it is.
  EXPECT_EQ(network_window_growth(kMainFrame).widening({{700, 160}, {180, 190}}).back(),
            (GrowthStep{{700, 160}, {315, 450}}));
}

}  // namespace
}  // namespace marvok::screen
