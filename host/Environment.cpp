#include "host/Environment.h"

#include <sys/stat.h>
#include <unistd.h>

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

std::optional<std::filesystem::path> PrivateRuntimeFolder() {
    const auto dir = GetEnv("XDG_RUNTIME_DIR");
    if (!dir) return std::nullopt;
    struct stat st {};
    if (::lstat(dir->c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0) {
        return std::nullopt;
    }
    return std::filesystem::path(*dir);
}

}  // namespace quernel
