#include "ui/win32/picture_file_dialog.h"

#include <windows.h>
// After windows.h, which they need.
#include <shobjidl.h>

#include "platform/windows/com.h"

namespace marvok::ui::win32 {

std::optional<std::filesystem::path> choose_picture_with_file_dialog() {
  // The dialog's shell views want a single-threaded apartment.
  const platform::ComApartment apartment(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (!apartment.usable()) return std::nullopt;
  platform::ComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              dialog.put_void()))) {
    return std::nullopt;
  }
  const COMDLG_FILTERSPEC pictures{L"Images (*.png;*.jpg;*.jpeg;*.bmp;*.gif)", L"*.png;*.jpg;*.jpeg;*.bmp;*.gif"};
  FILEOPENDIALOGOPTIONS options = 0;
  if (FAILED(dialog->SetFileTypes(1, &pictures)) || FAILED(dialog->GetOptions(&options)) ||
      FAILED(dialog->SetOptions(options | FOS_FILEMUSTEXIST)) || FAILED(dialog->Show(nullptr))) {
    return std::nullopt;
  }
  platform::ComPtr<IShellItem> item;
  PWSTR path = nullptr;
  if (FAILED(dialog->GetResult(item.put())) || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
    return std::nullopt;
  }
  std::filesystem::path chosen(path);
  CoTaskMemFree(path);
  return chosen;
}

}  // namespace marvok::ui::win32
