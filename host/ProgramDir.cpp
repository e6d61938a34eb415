#include "host/ProgramDir.h"

#include "host/Environment.h"

#include <unistd.h>

#include <system_error>

namespace quernel {

namespace fs = std::filesystem;

namespace {

bool Writable(const fs::path& dir) {
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

const char* const kDataFolders[] = {"Seq", "CharMap"};

}  // namespace

fs::path ExecutablePath() {
    std::error_code ec;
    fs::path path = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : path;
}

std::string ExecutableName() {
    return ExecutablePath().stem().string();
}

ProgramDirInputs ProgramDirInputsFromEnvironment() {
    ProgramDirInputs inputs;
    if (auto dir = GetEnv("QUERNEL_PROGRAM_DIR")) inputs.overrideDir = fs::path(*dir);
    inputs.executableDir = ExecutablePath().parent_path();
    if (auto data = GetEnv("XDG_DATA_HOME")) {
        inputs.dataHome = *data;
    } else if (auto home = GetEnv("HOME")) {
        inputs.dataHome = fs::path(*home) / ".local" / "share";
    } else {
        inputs.dataHome = fs::temp_directory_path();
    }
    return inputs;
}

fs::path ShippedDataDir(const fs::path& executableDir) {
    std::error_code ec;
    if (fs::is_directory(executableDir / "Seq", ec)) return executableDir;
    return executableDir.parent_path() / "share" / "quernel";
}

void InstallShippedData(const fs::path& shippedDir, const fs::path& programDir) {
    std::error_code ec;
    if (fs::equivalent(shippedDir, programDir, ec)) return;
    for (const char* folder : kDataFolders) {
        const fs::path from = shippedDir / folder;
        if (!fs::is_directory(from, ec)) continue;
        const fs::path to = programDir / folder;
        fs::create_directories(to, ec);
        for (const auto& entry : fs::directory_iterator(from, ec)) {
            if (!entry.is_regular_file(ec)) continue;
            const fs::path target = to / entry.path().filename();
            if (fs::exists(target, ec)) continue;
            fs::copy_file(entry.path(), target, fs::copy_options::skip_existing, ec);
        }
    }
}

fs::path ResolveProgramDir(const ProgramDirInputs& inputs) {
    fs::path dir;
    if (inputs.overrideDir) {
        dir = *inputs.overrideDir;
    } else if (!inputs.executableDir.empty() && Writable(inputs.executableDir) &&
               ShippedDataDir(inputs.executableDir) == inputs.executableDir) {
        // A build or a folder of its own, with the data beside the program. An installed
        // program's folder (/usr/bin, writable for root) is not the program's own.
        return inputs.executableDir;
    } else {
        dir = inputs.dataHome / "quernel";
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    InstallShippedData(ShippedDataDir(inputs.executableDir), dir);
    return dir;
}

}  // namespace quernel
