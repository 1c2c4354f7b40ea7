#include "platform/console.h"

#include <windows.h>

#include <cstdio>
#include <limits>
#include <string>

namespace marvok::platform {

// A Windows console is written in UTF-16, whatever its code page, so every
// accent shows. Output sent to a file or a pipe keeps UTF-8.
void print_console_text(std::string_view utf8_text) {
  std::fflush(stdout);
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  // A text too long for one conversion, or one that does not convert, goes
  // out as its UTF-8 bytes, as to a file.
  if (output != INVALID_HANDLE_VALUE && output != nullptr && GetConsoleMode(output, &mode) != 0 && !utf8_text.empty() &&
      utf8_text.size() <= static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    const int size = static_cast<int>(utf8_text.size());
    const int wide_count = MultiByteToWideChar(CP_UTF8, 0, utf8_text.data(), size, nullptr, 0);
    if (wide_count > 0) {
      std::wstring wide(static_cast<std::size_t>(wide_count), L'\0');
      if (MultiByteToWideChar(CP_UTF8, 0, utf8_text.data(), size, wide.data(), wide_count) == wide_count) {
        DWORD written = 0;
        WriteConsoleW(output, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
      }
    }
  }
  // A program without a console and without redirected output has nowhere
  // to write: its lines go to the debugger.
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    const std::string line(utf8_text);
    const int wide_count = MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0);
    if (wide_count > 0) {
      std::wstring wide(static_cast<std::size_t>(wide_count), L'\0');
      MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide.data(), wide_count);
      OutputDebugStringW(wide.c_str());
    }
    return;
  }
  std::fwrite(utf8_text.data(), 1, utf8_text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace marvok::platform
