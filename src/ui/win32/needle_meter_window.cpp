#include "ui/win32/needle_meter_window.h"

#include "platform/pictures.h"
#include "ui/win32/window_procedure.h"

namespace marvok::ui::win32 {

namespace {

constexpr char kDialFileName[] = "vu_meter_2.bmp";

const wchar_t* class_name(screen::MeterSide side) {
  return side == screen::MeterSide::Left ? L"VuMeterLeftClass" : L"VuMeterRightClass";
}

void register_class(screen::MeterSide side) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = forward_to_owner<NeedleMeterWindow>;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  window_class.lpszClassName = class_name(side);
  RegisterClassExW(&window_class);  // fails harmlessly once registered
}

}  // namespace

NeedleMeterWindow::NeedleMeterWindow(HWND main, screen::MainScreen& main_screen, screen::MeterSide side,
                                     const LevelMeterState& meters)
    : main_screen_(main_screen),
      meter_(side, meters, platform::load_picture_file(kDialFileName, platform::PictureFormat::Bmp)),
      surface_(screen::kNeedleMeterSize, [this](const screen::Region& area) {
        for (const screen::Rect& rect : area.rects()) invalidate(window_, rect.x, rect.y, rect.width, rect.height);
      }) {
  // The background shows until the first tick, and for good wherever no dial covers it.
  surface_.paint([](screen::Canvas& canvas) {
    canvas.fill_rect(screen::Rect({0, 0}, screen::kNeedleMeterSize), screen::kNeedleMeterBackground);
  });
  register_class(side);
  const screen::Point at =
      side == screen::MeterSide::Left ? screen::kLeftNeedleMeterPosition : screen::kRightNeedleMeterPosition;
  window_ = CreateWindowExW(0, class_name(side), L"", WS_CHILD | WS_VISIBLE, at.x, at.y, screen::kNeedleMeterSize.width,
                            screen::kNeedleMeterSize.height, main, nullptr, GetModuleHandleW(nullptr), this);
}

NeedleMeterWindow::~NeedleMeterWindow() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
}

void NeedleMeterWindow::redraw() {
  if (window_ != nullptr) meter_.redraw(surface_, main_screen_);
}

LRESULT NeedleMeterWindow::handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: paint_from(window, surface_.dc()); return 0;
    case WM_NCDESTROY: window_ = nullptr; break;
    default: break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace marvok::ui::win32
