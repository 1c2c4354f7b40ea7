#include "ui/win32/tool_window.h"

#include <gtest/gtest.h>

#include "ui/win32/win32_event_loop.h"

namespace marvok::ui::win32 {
namespace {

using namespace std::chrono_literals;

constexpr screen::ToolWindowLook kLook{.class_name = "ToolWindowTestClass",
                                       .title = u"Tool window test",
                                       .background = {0, 0, 255},
                                       .size = {120, 90},
                                       .tick_period = std::chrono::milliseconds(10)};

// Content that counts what the window hands it, and asks to close when told.
struct CountingScreen final : screen::ToolScreen {
  void start() override { ++starts; }
  void tick() override { ++ticks; }
  screen::PaintOutcome before_paint() override {
    return close ? screen::PaintOutcome::Close : screen::PaintOutcome::Show;
  }
  int starts = 0, ticks = 0;
  bool close = false;
};

struct ToolWindowTest : ::testing::Test {
  ToolWindowTest()
      : main(CreateWindowExW(0, L"STATIC", L"main", WS_POPUP | WS_VISIBLE, 600, 150, 200, 200, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr)) {}
  ~ToolWindowTest() override { DestroyWindow(main); }

  std::shared_ptr<ToolWindow> make() {
    return ToolWindow::create(main, kLook, {400, 150}, [this](ToolWindow&, screen::Surface&) {
      auto made = std::make_unique<CountingScreen>();
      content = made.get();
      return made;
    });
  }

  HWND main;
  Win32EventLoop loop;
  CountingScreen* content = nullptr;
  const screen::Growth growth{{400, 150}, {{{400, 150}, {60, 60}}, {{390, 150}, {130, 120}}}, nullptr};
};

TEST_F(ToolWindowTest, GrowsOwnedByTheMainWindowThenStartsAndTicks) {
  const auto window = make();
  ASSERT_NE(window->handle(), nullptr);
  EXPECT_EQ(GetWindow(window->handle(), GW_OWNER), main);
  EXPECT_TRUE(show_grown(window, growth, {0ms, 0ms}, loop));
  EXPECT_EQ(frame_of(window->handle()), screen::Rect(390, 150, 130, 120)) << "the steps set the outer size";
  loop.pause_with_events(200ms);
  EXPECT_EQ(content->starts, 1);
  EXPECT_GE(content->ticks, 3);
}

TEST_F(ToolWindowTest, AWindowClosedWhileGrowingIsNeverStarted) {
  const auto window = make();
  // The member closes it during the first pause.
  const auto closing = loop.once(1ms, [&] { window->close_window(); });
  EXPECT_FALSE(show_grown(window, growth, {50ms, 50ms}, loop));
  EXPECT_EQ(window->handle(), nullptr);
  EXPECT_EQ(content->starts, 0);
}

TEST_F(ToolWindowTest, ContentThatAsksToCloseAtAPaintClosesOnceThePaintIsOver) {
  const auto window = make();
  ASSERT_TRUE(show_grown(window, growth, {0ms, 0ms}, loop));
  content->close = true;
  window->repaint_now();
  EXPECT_TRUE(window->closing());
  loop.pause_with_events(100ms);
  EXPECT_EQ(window->handle(), nullptr);
}

}  // namespace
}  // namespace marvok::ui::win32
