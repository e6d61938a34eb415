#include "platform/XdgAutostartFolder.h"

#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "host/Bytes.h"
#include "host/Environment.h"
#include "host/FileUtil.h"

namespace quernel {

namespace fs = std::filesystem;

fs::path TXdgAutostartFolder::FromEnvironment() {
    if (auto config = GetEnv("XDG_CONFIG_HOME")) return fs::path(*config) / "autostart";
    return HomeFolder() / ".config" / "autostart";
}

bool TXdgAutostartFolder::Open() {
    std::error_code ec;
    fs::create_directories(folder_, ec);
    return fs::is_directory(folder_, ec) && ::access(folder_.c_str(), W_OK | X_OK) == 0;
}

std::vector<std::string> TXdgAutostartFolder::Entries() {
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(folder_)) {
        if (entry.path().extension() == ".desktop" && entry.is_regular_file()) {
            entries.push_back(entry.path().filename().string());
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string TXdgAutostartFolder::Read(const std::string& entry) {
    return ToString(ReadWholeFile(folder_ / entry));
}

void TXdgAutostartFolder::Write(const std::string& entry, const std::string& content) {
    WriteFileAtomic(folder_ / entry, ToBytes(content));
}

void TXdgAutostartFolder::Remove(const std::string& entry) {
    fs::remove(folder_ / entry);
}

}  // namespace quernel
