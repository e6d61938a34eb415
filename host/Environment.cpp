#include "host/Environment.h"

#include <cstdlib>

namespace quernel {

std::optional<std::string> GetEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

std::filesystem::path HomeFolder() {
    if (auto home = GetEnv("HOME")) return *home;
    return std::filesystem::temp_directory_path();
}

std::filesystem::path QuernelFolder() {
    return HomeFolder() / "QUERNEL";
}

std::filesystem::path StateFolder() {
    if (auto root = GetEnv("QUERNEL_STATE_HOME")) return std::filesystem::path(*root) / "quernel";
    if (auto root = GetEnv("XDG_STATE_HOME")) return std::filesystem::path(*root) / "quernel";
    return HomeFolder() / ".local/state/quernel";
}

}  // namespace quernel
