#include "ui/win32/about_dialog.h"

#include "state/version.h"
#include "ui/win32/resource_ids.h"

namespace marvok::ui::win32 {

namespace {

INT_PTR CALLBACK about_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: SetDlgItemTextW(dialog, MARVOK_ABOUT_TEXT, about_text().c_str()); return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) != IDOK && LOWORD(wparam) != IDCANCEL) break;
      EndDialog(dialog, LOWORD(wparam));
      return TRUE;
    default: break;
  }
  return FALSE;
}

}  // namespace

std::wstring about_text() {
  const std::string_view version = kClientVersion;
  return L"Marvok " + std::wstring(version.begin(), version.end()) +
         L"\r\nRéseau de téléphonie de loisir\r\n\r\nConçu par l'équipe Marvok.";
}

void show_about_dialog(HINSTANCE instance, HWND owner) {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(MARVOK_ABOUT_DIALOG), owner, about_procedure, 0);
}

}  // namespace marvok::ui::win32
