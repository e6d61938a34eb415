#include "platform/ProcProcesses.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

namespace quernel {

namespace fs = std::filesystem;

namespace {

// Below normal: the nice value a DOS machine gets.
constexpr int kBelowNormalNice = 10;

std::optional<int> NumericName(const fs::path& path) {
    const std::string name = path.filename().string();
    int value = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), value);
    if (ec != std::errc() || end != name.data() + name.size() || value <= 0) return std::nullopt;
    return value;
}

}  // namespace

std::vector<TProcessInfo> TProcProcesses::List() {
    std::vector<TProcessInfo> processes;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const auto pid = NumericName(entry.path());
        if (!pid) continue;
        std::error_code linkError;
        std::string exe = fs::read_symlink(entry.path() / "exe", linkError).string();
        if (linkError || exe.empty()) continue;
        // A program file replaced or removed while it runs (an update) still counts.
        constexpr std::string_view kDeleted = " (deleted)";
        if (exe.ends_with(kDeleted)) exe.resize(exe.size() - kDeleted.size());
        processes.push_back({*pid, std::move(exe)});
    }
    return processes;
}

int TProcProcesses::CurrentPid() {
    return static_cast<int>(::getpid());
}

void TProcProcesses::RequestEnd(int pid) {
    ::kill(pid, SIGTERM);
}

void TProcProcesses::ForceEnd(int pid) {
    ::kill(pid, SIGKILL);
}

bool TProcProcesses::Running(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) return false;
    // "<pid> (<name>) <state> ...": the name may hold blanks and parentheses.
    const auto close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return false;
    const char state = stat[close + 2];
    return state != 'Z' && state != 'X';
}

void TProcProcesses::LowerPriority(int pid) {
    std::error_code ec;
    const fs::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& entry : fs::directory_iterator(tasks, ec)) {
        const auto tid = NumericName(entry.path());
        if (!tid) continue;
        errno = 0;
        const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(*tid));
        if (errno != 0 || nice >= kBelowNormalNice) continue;
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(*tid), kBelowNormalNice);
    }
}

}  // namespace quernel
