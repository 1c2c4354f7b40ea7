// The GDI canvas's own glue, read back from the pixels of a DIB section.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "ui/win32/dib_surface.h"
#include "ui/win32/gdi_fonts.h"
#include "ui/win32/gdi_handles.h"
#include "ui/win32/icon_location.h"
#include "ui/win32/rotation.h"

namespace marvok::ui::win32 {
namespace {

using screen::Colour;
using screen::Rect;

constexpr Colour kGround{0, 0, 200};

// A small surface painted with the ground, then with `drawing`.
struct Drawn {
  explicit Drawn(const std::function<void(screen::Canvas&)>& drawing, screen::Size size = {40, 30})
      : surface(size, {}) {
    surface.paint([&](screen::Canvas& canvas) {
      canvas.fill_rect({0, 0, size.width, size.height}, kGround);
      drawing(canvas);
    });
  }
  std::uint32_t at(int x, int y) { return surface.pixels().row(y)[x] & 0xFFFFFFu; }
  // The smallest rectangle holding every pixel not of the ground.
  Rect changed() {
    Rect all;
    const screen::PixelRows rows = surface.pixels();
    for (int y = 0; y < rows.size.height; ++y) {
      for (int x = 0; x < rows.size.width; ++x) {
        if (at(x, y) != kGround.pixel()) all = all.united({x, y, 1, 1});
      }
    }
    return all;
  }
  DibSurface surface;
};

Picture solid(int width, int height, std::uint32_t argb) {
  return {width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), argb)};
}

TEST(DibSurfaceTest, RowsHoldRedGreenBlueAsQtsRgb32) {
  DibSurface surface({4, 3}, {});
  EXPECT_EQ(surface.pixels().row(2)[3] & 0xFFFFFFu, 0u) << "black until drawn on";
  surface.paint([](screen::Canvas& canvas) { canvas.fill_rect({1, 1, 2, 1}, {0x12, 0x34, 0x56}); });
  const screen::PixelRows rows = surface.pixels();
  EXPECT_EQ(rows.size, (screen::Size{4, 3}));
  EXPECT_EQ(rows.row(1)[1] & 0xFFFFFFu, 0x123456u);
  EXPECT_EQ(rows.row(1)[2] & 0xFFFFFFu, 0x123456u);
  EXPECT_EQ(rows.row(1)[3] & 0xFFFFFFu, 0u);
  EXPECT_EQ(rows.row(0)[1] & 0xFFFFFFu, 0u) << "top-down rows";
}

// Every primitive told to cover the whole surface stays inside the clip.
TEST(GdiCanvasTest, EveryPrimitiveHonoursTheClip) {
  const Picture opaque = solid(40, 30, 0xFFFF8000u);
  const Picture half = solid(40, 30, 0x80FF8000u);
  const struct {
    const char* primitive;
    std::function<void(screen::Canvas&)> draw;
  } cases[] = {
      {"fill",
       [](screen::Canvas& c) {
         c.fill_rect({0, 0, 40, 30}, screen::kRed);
       }},
      {"gradient",
       [](screen::Canvas& c) {
         c.fill_vertical_gradient({0, 0, 40, 30}, screen::kRed, screen::kGreen);
       }},
      {"rounded frame",
       [](screen::Canvas& c) {
         c.rounded_frame({0, 0, 40, 30}, 6, 4, screen::kRed, screen::kGreen);
       }},
      {"line",
       [](screen::Canvas& c) {
         c.line({0, 0}, {39, 29}, 40, screen::kRed, screen::Antialias::On);
       }},
      {"aliased line",
       [](screen::Canvas& c) {
         c.line({0, 15}, {39, 15}, 40, screen::kRed, screen::Antialias::Off);
       }},
      {"dot",
       [](screen::Canvas& c) {
         c.dot({20, 15}, 30, screen::kRed, screen::kGreen);
       }},
      {"picture",
       [&](screen::Canvas& c) {
         c.picture({0, 0}, opaque);
       }},
      {"picture with alpha",
       [&](screen::Canvas& c) {
         c.picture({0, 0}, half);
       }},
      {"keyed",
       [&](screen::Canvas& c) {
         c.picture_keyed({0, 0}, opaque);
       }},
      {"rotated",
       [&](screen::Canvas& c) {
         c.picture_rotated_keyed({0, 0}, opaque, 180);
       }},
      {"stretched",
       [&](screen::Canvas& c) {
         c.picture_stretched({0, 0, 40, 30}, opaque, screen::Stretch::IntoRect);
       }},
      {"stretched alpha",
       [&](screen::Canvas& c) {
         c.picture_stretched({0, 0, 40, 30}, half, screen::Stretch::ScaledFirst);
       }},
      {"text",
       [](screen::Canvas& c) {
         c.text_at({0, 0}, u"WWWWWWW", screen::arial(30), screen::kRed, screen::kGreen);
       }},
      {"centred text",
       [](screen::Canvas& c) {
         c.text_centred({0, 0, 40, 30}, u"WWWW", screen::arial(30), screen::kRed, {});
       }},
  };
  screen::Region clip(Rect{5, 5, 10, 10});
  clip.add(Rect{20, 12, 8, 6});
  for (const auto& c : cases) {
    Drawn drawn([&](screen::Canvas& canvas) {
      canvas.set_clip(clip);
      c.draw(canvas);
      canvas.clear_clip();
      canvas.fill_rect({39, 29, 1, 1}, screen::kWhite);  // the clip is gone
    });
    int inside_changed = 0;
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 40; ++x) {
        if (x == 39 && y == 29) continue;
        const bool changed = drawn.at(x, y) != kGround.pixel();
        if (clip.contains({x, y})) {
          inside_changed += changed;
        } else {
          ASSERT_FALSE(changed) << c.primitive << " drew at " << x << "," << y;
        }
      }
    }
    EXPECT_GT(inside_changed, 0) << c.primitive;
    EXPECT_EQ(drawn.at(39, 29), screen::kWhite.pixel()) << c.primitive;
  }
}

TEST(GdiCanvasTest, KeyedPicturesLeaveOutPureBlackOnly) {
  const Picture picture{4, 1, {0xFF000000u, 0xFFFF0000u, 0xFF010000u, 0xFF000001u}};
  const std::uint32_t expected[] = {kGround.pixel(), 0xFF0000u, 0x010000u, 0x000001u};
  Drawn drawn([&](screen::Canvas& canvas) { canvas.picture_keyed({2, 3}, picture); });
  for (int x = 0; x < 4; ++x) EXPECT_EQ(drawn.at(2 + x, 3), expected[x]) << x;
}

// A mark at the top centre of a picture turns clockwise with the angle.
TEST(GdiCanvasTest, RotationTurnsClockwise) {
  Picture picture = solid(21, 21, 0xFF404040u);
  picture.pixels[10] = picture.pixels[21 + 10] = 0xFFFF0000u;  // rows 0 and 1, column 10
  const struct {
    double degrees;
    int x, y;
  } cases[] = {{0, 10, 0}, {90, 20, 10}, {180, 10, 20}, {270, 0, 10}, {-90, 0, 10}, {450, 20, 10}};
  for (const auto& c : cases) {
    const Picture turned = rotated(picture, c.degrees);
    EXPECT_EQ(turned.pixel(c.x, c.y), 0xFFFF0000u) << c.degrees;
    Drawn drawn([&](screen::Canvas& canvas) { canvas.picture_rotated_keyed({5, 4}, picture, c.degrees); });
    EXPECT_EQ(drawn.at(5 + c.x, 4 + c.y), 0xFF0000u) << c.degrees;
    EXPECT_EQ(drawn.at(5 + 10, 4 + 10), 0x404040u) << c.degrees;
  }
  // Corners turned out of the square leave black, which is then left out.
  Drawn drawn([&](screen::Canvas& canvas) { canvas.picture_rotated_keyed({5, 4}, picture, 45); });
  EXPECT_EQ(drawn.at(5, 4), kGround.pixel());
  EXPECT_EQ(drawn.at(5 + 10, 4 + 10), 0x404040u);
}

TEST(GdiCanvasTest, StretchedPicturesFillTheirRectangleExactly) {
  const Picture picture{2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFFFFFF00u, 0xFFFFFFFFu}};
  const Picture shaded{2, 2, {0x80FF0000u, 0x80FF0000u, 0x80FF0000u, 0x80FF0000u}};
  for (const screen::Stretch stretch : {screen::Stretch::ScaledFirst, screen::Stretch::IntoRect}) {
    Drawn drawn([&](screen::Canvas& canvas) { canvas.picture_stretched({3, 4, 17, 9}, picture, stretch); });
    EXPECT_EQ(drawn.changed(), (Rect{3, 4, 17, 9}));
    EXPECT_EQ(drawn.at(3, 4), 0xFF0000u) << "corners keep their colours";
    EXPECT_EQ(drawn.at(19, 12), 0xFFFFFFu);
    // Half-transparent red over the ground's blue.
    Drawn blended([&](screen::Canvas& canvas) { canvas.picture_stretched({3, 4, 17, 9}, shaded, stretch); });
    EXPECT_EQ(blended.changed(), (Rect{3, 4, 17, 9}));
    const std::uint32_t middle = blended.at(10, 8);
    EXPECT_NEAR(static_cast<int>(middle >> 16), 128, 2);
    EXPECT_NEAR(static_cast<int>(middle & 0xFF), 100, 2);
  }
}

TEST(GdiCanvasTest, PicturesWithAlphaBlendOverWhatIsUnder) {
  const Picture picture{3, 1, {0x00FF0000u, 0x80FF0000u, 0xFFFF0000u}};
  Drawn drawn([&](screen::Canvas& canvas) { canvas.picture({1, 1}, picture); });
  EXPECT_EQ(drawn.at(1, 1), kGround.pixel());
  EXPECT_NEAR(static_cast<int>(drawn.at(2, 1) >> 16), 128, 2);
  EXPECT_NEAR(static_cast<int>(drawn.at(2, 1) & 0xFF), 100, 2);
  EXPECT_EQ(drawn.at(3, 1), 0xFF0000u);
}

// The layouts are measured in cell heights: a font asked for one must have it.
TEST(GdiFontsTest, PositiveHeightsGiveTheCellHeight) {
  const screen::Font fonts[] = {screen::arial(12),
                                screen::arial(14),
                                screen::arial(16),
                                screen::arial(17),
                                screen::arial(20),
                                screen::arial(30),
                                screen::arial(14, screen::FontWeight::Normal),
                                {screen::Typeface::SegoeUi, 12, screen::FontWeight::Normal},
                                {screen::Typeface::SegoeUi, 15, screen::FontWeight::Normal}};
  DibSurface surface({10, 10}, {});
  for (const screen::Font& font : fonts) {
    ASSERT_NE(gdi_font(font), nullptr);
    EXPECT_EQ(gdi_font(font), gdi_font(font)) << "made once";
    {
      const Selection selected(surface.dc(), gdi_font(font));
      TEXTMETRICW metrics{};
      GetTextMetricsW(surface.dc(), &metrics);
      EXPECT_EQ(metrics.tmHeight, font.cell_height);
    }
    surface.paint(
        [&](screen::Canvas& canvas) { EXPECT_EQ(canvas.text_size(u"Marvok", font).height, font.cell_height); });
  }
  EXPECT_EQ(gdi_font(screen::kWindowDefaultFont), nullptr) << "the DC's own font";
  surface.paint([&](screen::Canvas& canvas) {
    EXPECT_EQ(canvas.text_size(u"Marvok", screen::kWindowDefaultFont).height, screen::kWindowDefaultFont.cell_height);
  });
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(surface.dc(), LF_FACESIZE, face);
  TEXTMETRICW metrics{};
  GetTextMetricsW(surface.dc(), &metrics);
  std::printf("The DC's own font: %ls, %ld pixels, weight %ld, average width %ld\n", face, metrics.tmHeight,
              metrics.tmWeight, metrics.tmAveCharWidth);
}

// The grounds behind the labels are the text's measured size, no more.
TEST(GdiCanvasTest, TextGroundsAreTheTextsSize) {
  const struct {
    std::u16string text;
    screen::Font font;
  } cases[] = {{u"MARVOK", screen::arial(30)},
               {u"Équipe Marvok", screen::kWindowDefaultFont},
               {u"OPUS", screen::arial(12)},
               {u"Ça va", {screen::Typeface::SegoeUi, 15, screen::FontWeight::Normal}}};
  for (const auto& c : cases) {
    screen::Size size;
    Rect returned;
    Drawn drawn(
        [&](screen::Canvas& canvas) {
          size = canvas.text_size(c.text, c.font);
          returned = canvas.text_at({7, 5}, c.text, c.font, screen::kYellow, screen::kBlack);
        },
        {200, 50});
    EXPECT_GT(size.width, 0);
    EXPECT_EQ(returned, Rect({7, 5}, size));
    EXPECT_EQ(drawn.changed(), returned);

    // Centred on a ground in a box, cut by the box where wider.
    const Rect box{10, 10, 180, 30};
    Drawn centred(
        [&](screen::Canvas& canvas) { canvas.text_centred(box, c.text, c.font, screen::kYellow, screen::kBlack); },
        {200, 50});
    const Rect ground(box.x + (box.width - size.width) / 2, box.y + (box.height - size.height) / 2, size.width,
                      size.height);
    EXPECT_EQ(centred.changed(), ground.intersected(box));
    Drawn narrow(
        [&](screen::Canvas& canvas) {
          canvas.text_centred({50, 10, 20, 8}, c.text, c.font, screen::kYellow, screen::kBlack);
        },
        {200, 50});
    EXPECT_EQ(narrow.changed(), (Rect{50, 10, 20, 8}));
  }
}

TEST(GdiCanvasTest, TextWithoutGroundIsClippedToItsBoxUnlessAskedNot) {
  const Rect box{80, 20, 20, 10};
  Drawn clipped([&](screen::Canvas& c) { c.text_centred(box, u"WWWWWWWW", screen::arial(16), screen::kWhite, {}); },
                {200, 50});
  Drawn free(
      [&](screen::Canvas& c) {
        c.text_centred(box, u"WWWWWWWW", screen::arial(16), screen::kWhite, {}, screen::TextClip::None);
      },
      {200, 50});
  EXPECT_EQ(clipped.changed().intersected(box), clipped.changed());
  EXPECT_LT(free.changed().left(), box.left());
  EXPECT_GT(free.changed().right(), box.right());
}

TEST(GdiCanvasTest, AntialiasedShapesBlendTheirEdgesAndAliasedOnesDoNot) {
  const auto shades = [](Drawn& drawn) {
    int count = 0;
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 40; ++x) {
        const std::uint32_t p = drawn.at(x, y);
        count += p != kGround.pixel() && p != 0xFFFFFFu;
      }
    }
    return count;
  };
  Drawn smooth([](screen::Canvas& c) { c.line({3, 3}, {35, 20}, 3, screen::kWhite, screen::Antialias::On); });
  Drawn sharp([](screen::Canvas& c) { c.line({3, 3}, {35, 20}, 3, screen::kWhite, screen::Antialias::Off); });
  EXPECT_GT(shades(smooth), 20);
  EXPECT_EQ(shades(sharp), 0);
  EXPECT_GT(sharp.changed().width, 30);
  // A dot: its outline colour on the rim, its fill at the centre.
  Drawn dot([](screen::Canvas& c) { c.dot({20, 15}, 4, screen::kRed, screen::kGreen); });
  EXPECT_EQ(dot.at(19, 14), 0x00FF00u);
  EXPECT_GT(dot.at(23, 15) >> 16, 0x60u) << "the outline";
  EXPECT_EQ(dot.changed(), (Rect{15, 10, 10, 10}));
}

TEST(GdiCanvasTest, GradientRunsFromTopToBottom) {
  Drawn drawn([](screen::Canvas& c) { c.fill_vertical_gradient({0, 2, 5, 20}, {0, 0, 0}, {0, 200, 0}); });
  EXPECT_LE(drawn.at(0, 2) >> 8 & 0xFF, 6u);
  EXPECT_GE(drawn.at(0, 21) >> 8 & 0xFF, 194u);
  for (int y = 3; y < 22; ++y) EXPECT_GT(drawn.at(4, y) >> 8 & 0xFF, drawn.at(4, y - 1) >> 8 & 0xFF) << y;
  EXPECT_EQ(drawn.changed(), (Rect{0, 2, 5, 20}));
}

TEST(GdiCanvasTest, FrameIsOnTheOutermostPixels) {
  Drawn drawn([](screen::Canvas& c) { c.frame_rect({4, 5, 10, 6}, screen::kWhite); });
  EXPECT_EQ(drawn.changed(), (Rect{4, 5, 10, 6}));
  EXPECT_EQ(drawn.at(13, 10), 0xFFFFFFu);
  EXPECT_EQ(drawn.at(5, 6), kGround.pixel());
}

TEST(IconLocationTest, ReadsThePathAndIndexWithVariablesExpanded) {
  wchar_t root[MAX_PATH] = {};
  GetEnvironmentVariableW(L"SystemRoot", root, MAX_PATH);
  const std::wstring system_root(root);
  ASSERT_FALSE(system_root.empty());
  const struct {
    std::u16string name;
    std::optional<IconLocation> expected;
  } cases[] = {
      {u"%SystemRoot%\\System32\\mmres.dll,-3012", IconLocation{system_root + L"\\System32\\mmres.dll", -3012}},
      {u"C:\\Program Files\\a,b\\icons.dll,4", IconLocation{L"C:\\Program Files\\a,b\\icons.dll", 4}},
      {u"C:\\icons.ico", IconLocation{L"C:\\icons.ico", 0}},
      {u"C:\\icons.dll,x", std::nullopt},
      {u",3", std::nullopt},
      {u"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(icon_location(c.name), c.expected) << std::string(c.name.begin(), c.name.end());
}

TEST(GdiCanvasTest, DeviceIconsDrawOverTheSystemColourOrNotAtAll) {
  Colour menu;
  bool found = false, missing = true;
  Drawn drawn(
      [&](screen::Canvas& c) {
        menu = c.system_colour(screen::SystemColour::Menu);
        found = c.device_icon({10, 10, 64, 64}, u"%SystemRoot%\\System32\\shell32.dll,3", screen::SystemColour::Menu);
        missing = c.device_icon({100, 10, 64, 64}, u"C:\\no\\such.dll,0", screen::SystemColour::Menu);
      },
      {200, 100});
  EXPECT_TRUE(found);
  EXPECT_FALSE(missing);
  EXPECT_EQ(drawn.changed(), (Rect{10, 10, 64, 64}));
  EXPECT_EQ(drawn.at(10, 10), menu.pixel()) << "the icon's transparent corner shows the ground";
}

}  // namespace
}  // namespace marvok::ui::win32
