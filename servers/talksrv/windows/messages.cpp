#include "messages.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/windows/wide_text.h"

namespace marvok::talksrv {

void tell(std::string_view line) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) {
    OutputDebugStringW(platform::to_wide(std::string(line) + "\n").c_str());
    return;
  }
  std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  std::fflush(stderr);
}

}  // namespace marvok::talksrv
