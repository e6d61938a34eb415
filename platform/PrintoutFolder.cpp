#include "platform/PrintoutFolder.h"

#include <cstdlib>
#include <system_error>

#include "host/FileUtil.h"

namespace quernel {

namespace fs = std::filesystem;

fs::path TPrintoutFolder::FromEnvironment() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && *dataHome == '/') return fs::path(dataHome) / "quernel/printouts";
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : "") / ".local/share/quernel/printouts";
}

std::vector<TStoredFile> TPrintoutFolder::List() {
    std::vector<TStoredFile> files;
    std::error_code ec;
    if (!fs::is_directory(folder_, ec)) return files;
    fs::directory_iterator it(folder_, ec);
    if (ec) throw FileError(CannotOpenFileMessage(folder_, ec.message()));
    for (const fs::directory_entry& entry : it) {
        std::error_code entryError;
        if (!entry.is_regular_file(entryError)) continue;
        const auto size = entry.file_size(entryError);
        if (entryError) continue;
        files.push_back({entry.path().filename().string(), size});
    }
    return files;
}

Bytes TPrintoutFolder::Read(const std::string& name) {
    return ReadWholeFile(folder_ / name);
}

void TPrintoutFolder::Write(const std::string& name, ByteView data) {
    std::error_code ec;
    fs::create_directories(folder_, ec);
    WriteFileAtomic(folder_ / name, data, true);
}

void TPrintoutFolder::Remove(const std::string& name) {
    std::error_code ec;
    fs::remove(folder_ / name, ec);
}

std::string TPrintoutFolder::PathOf(const std::string& name) const {
    return (folder_ / name).string();
}

}  // namespace quernel
