#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace marvok::platform {

// The folder that holds the running client's executable; nothing when the
// system will not say.
std::optional<std::string> own_executable_folder();

// The file name of one of our programs on this system: "talksrv" is
// "talksrv.exe" on Windows.
std::string program_file_name(std::string_view name);

// Whether any process runs an executable of this name, ignoring ASCII case.
// Processes that cannot be inspected are passed over.
bool is_process_running(std::string_view executable_name);

// Starts a program with no arguments and lets it go: it is neither kept nor
// waited for, and leaves no zombie behind. False when it could not start.
bool start_detached(const std::string& path);

}  // namespace marvok::platform
