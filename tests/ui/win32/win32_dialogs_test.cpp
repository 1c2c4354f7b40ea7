// The Win32 boxes and windows as the member sees them: owner, icon, place,
// text, and how each closes, found from a loop timer while they hold the thread.
#include "ui/win32/win32_dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/win32/about_dialog.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/win32_event_loop.h"
#include "ui/win32/win32_shown_window.h"

namespace marvok::ui::win32 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using screen::BoxIcon;
using screen::BoxOwner;

std::wstring window_text(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::vector<HWND> children(HWND window) {
  std::vector<HWND> found;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);  // NOLINT(performance-no-int-to-ptr)
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// A box's icon: the one its picture control shows.
HICON box_icon(HWND box) {
  for (HWND child : children(box)) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the answer is the icon's handle
    if (auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0))) return icon;
  }
  return nullptr;
}

class Win32DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main_ = CreateWindowExW(0, L"STATIC", L"Fenêtre principale", WS_POPUP | WS_VISIBLE, 300, 200, 550, 730, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(main_, nullptr);
  }
  void TearDown() override { DestroyWindow(main_); }

  Win32Dialogs dialogs(std::chrono::milliseconds notice_lifetime = kNoticeLifetime, bool with_main = true) {
    HWND main = with_main ? main_ : nullptr;
    return Win32Dialogs([main] { return main; }, GetModuleHandleW(nullptr), notice_lifetime);
  }

  Win32EventLoop loop_;
  HWND main_ = nullptr;
};

struct BoxCase {
  BoxOwner owner;
  BoxIcon icon;
  const wchar_t* caption;
  LPCWSTR system_icon;  // nullptr: none
};

// Each box costs seconds under Wine: the flags of every icon are checked below.
const BoxCase kBoxCases[] = {
    {BoxOwner::None, BoxIcon::Error, L"Marvok System", IDI_HAND},
    {BoxOwner::MainWindow, BoxIcon::Question, L"Question", IDI_QUESTION},
};

TEST_F(Win32DialogsTest, MessageBoxesHaveTheirOwnerIconAndText) {
  for (const BoxCase& test : kBoxCases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(test.icon));
    HWND owner = reinterpret_cast<HWND>(-1);  // NOLINT(performance-no-int-to-ptr)
    HICON icon = nullptr;
    bool text_found = false;
    const auto closer = when_shown(loop_, L"#32770", test.caption, [&](HWND box) {
      owner = GetWindow(box, GW_OWNER);
      icon = box_icon(box);
      for (HWND child : children(box)) text_found = text_found || window_text(child) == L"Échec à l'ouverture";
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    const std::u16string caption(test.caption, test.caption + wcslen(test.caption));
    dialogs().message_box(test.owner, u"Échec à l'ouverture", caption, test.icon);
    EXPECT_EQ(owner, test.owner == BoxOwner::MainWindow ? main_ : nullptr);
    EXPECT_EQ(icon, test.system_icon ? LoadIconW(nullptr, test.system_icon) : nullptr);
    EXPECT_TRUE(text_found);
  }
}

struct FlagsCase {
  BoxIcon icon;
  bool owned;
  UINT flags;
};

const FlagsCase kFlagsCases[] = {
    {BoxIcon::Error, false, MB_OK | MB_ICONERROR | MB_SETFOREGROUND},
    {BoxIcon::Question, true, MB_OK | MB_ICONQUESTION},
    {BoxIcon::Warning, true, MB_OK | MB_ICONWARNING},
    {BoxIcon::Information, false, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND},
    {BoxIcon::None, true, MB_OK},
};

TEST(MessageBoxFlagsTest, EachIconHasItsFlagAndABoxOfNoWindowComesForward) {
  for (const FlagsCase& test : kFlagsCases) {
    EXPECT_EQ(message_box_flags(test.icon, test.owned), test.flags) << static_cast<int>(test.icon);
  }
}

struct NoticeCase {
  const char* name;
  bool with_main;
  std::chrono::milliseconds lifetime;
  bool member_closes;
  std::chrono::milliseconds shortest;
};

const NoticeCase kNoticeCases[] = {
    {"closes by itself", true, 400ms, false, 350ms},
    {"closed by the member", true, 10s, true, 0ms},
    {"without a main window", false, 400ms, false, 350ms},
};

TEST_F(Win32DialogsTest, TheNoticeShowsBesideTheMainWindowUntilItCloses) {
  for (const NoticeCase& test : kNoticeCases) {
    SCOPED_TRACE(test.name);
    HWND owner = reinterpret_cast<HWND>(-1);  // NOLINT(performance-no-int-to-ptr)
    RECT frame{};
    RECT text_area{};
    std::wstring text;
    bool main_enabled = false;
    const auto finder = when_shown(loop_, L"CustomDialog", L"Info du Superviseur", [&](HWND notice) {
      owner = GetWindow(notice, GW_OWNER);
      GetWindowRect(notice, &frame);
      HWND label = FindWindowExW(notice, nullptr, L"Static", nullptr);
      text = window_text(label);
      GetClientRect(label, &text_area);
      main_enabled = IsWindowEnabled(main_) != 0;
      if (test.member_closes) PostMessageW(notice, WM_CLOSE, 0, 0);
    });
    const auto start = Clock::now();
    dialogs(test.lifetime, test.with_main).notice(u"Le serveur redémarre à minuit.");
    const auto shown_for = Clock::now() - start;
    EXPECT_GE(shown_for, test.shortest);
    EXPECT_LT(shown_for, 5s);
    EXPECT_EQ(FindWindowW(L"CustomDialog", nullptr), nullptr);
    const POINT at = test.with_main ? POINT{320, 220} : POINT{20, 20};
    EXPECT_EQ(owner, test.with_main ? main_ : nullptr);
    EXPECT_EQ(frame.left, at.x);
    EXPECT_EQ(frame.top, at.y);
    EXPECT_EQ(frame.right - frame.left, 400);
    EXPECT_EQ(frame.bottom - frame.top, 200);
    EXPECT_EQ(text, L"Le serveur redémarre à minuit.");
    EXPECT_EQ(text_area.right, 280);
    EXPECT_EQ(text_area.bottom, 150);
    EXPECT_TRUE(main_enabled);
  }
}

struct AboutCase {
  const char* name;
  UINT message;
  WPARAM key;
};

const AboutCase kAboutCases[] = {
    {"OK", WM_COMMAND, IDOK},
    {"Escape", WM_KEYDOWN, VK_ESCAPE},
};

TEST_F(Win32DialogsTest, TheAboutBoxShowsTheVersionUntilOkOrEscape) {
  for (const AboutCase& test : kAboutCases) {
    SCOPED_TRACE(test.name);
    HWND owner = nullptr;
    std::wstring text;
    const auto closer = when_shown(loop_, L"#32770", L"À propos de Marvok", [&](HWND about) {
      owner = GetWindow(about, GW_OWNER);
      text = window_text(GetDlgItem(about, MARVOK_ABOUT_TEXT));
      // Keys go to the control with the focus, as the member's would.
      HWND target = test.message == WM_KEYDOWN ? GetDlgItem(about, IDOK) : about;
      PostMessageW(target, test.message, test.key, 0);
    });
    const auto start = Clock::now();
    dialogs().about_box();
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(owner, main_);
    EXPECT_EQ(text, about_text());
    EXPECT_NE(text.find(L"Marvok 0."), std::wstring::npos);
  }
}

}  // namespace
}  // namespace marvok::ui::win32
