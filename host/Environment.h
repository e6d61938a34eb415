#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quernel {

// The value of an environment variable; nothing when it is unset or empty.
std::optional<std::string> GetEnv(const char* name);

// $HOME, or the temporary folder when it is not set.
std::filesystem::path HomeFolder();

// ~/QUERNEL: the folder a DOS emulator's printer port writes into, with the PDFs below it.
std::filesystem::path QuernelFolder();

// $QUERNEL_STATE_HOME, else $XDG_STATE_HOME, else ~/.local/state; then "quernel": the folder
// of the state the program keeps across restarts.
std::filesystem::path StateFolder();

// $XDG_RUNTIME_DIR when it is a folder of this user that nobody else may enter (it lives in
// memory until the computer stops); nothing otherwise.
std::optional<std::filesystem::path> PrivateRuntimeFolder();

}  // namespace quernel
