#include "platform/ProcProcesses.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

constexpr std::string_view kDeleted = " (deleted)";

// A program file replaced or removed while it runs (an update) still counts as the file it was.
std::string WithoutDeleted(std::string exe) {
    if (exe.ends_with(kDeleted)) exe.resize(exe.size() - kDeleted.size());
    return exe;
}

// The target of a /proc/<pid>/exe link.
std::string ExecutableOf(const fs::path& exeLink) {
    std::error_code ec;
    std::string exe = fs::read_symlink(exeLink, ec).string();
    return ec ? std::string() : WithoutDeleted(std::move(exe));
}

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
        std::string exe = ExecutableOf(entry.path() / "exe");
        if (exe.empty()) continue;
        processes.push_back({*pid, std::move(exe)});
    }
    return processes;
}

int TProcProcesses::CurrentPid() {
    return static_cast<int>(::getpid());
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

std::unique_ptr<TProcessHandle> TProcessHandle::Open(pid_t pid, const fs::path& executable) {
    UniqueFd fd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (fd.get() < 0 || executable.empty()) return nullptr;
    // Looked at after the descriptor was opened: while the process has not ended, /proc shows
    // the process the descriptor holds.
    const fs::path folder = "/proc/" + std::to_string(pid);
    struct stat st {};
    const bool ours = ::stat(folder.c_str(), &st) == 0 && st.st_uid == ::getuid() &&
                      ExecutableOf(folder / "exe") == WithoutDeleted(executable.string());
    auto handle = std::unique_ptr<TProcessHandle>(new TProcessHandle(std::move(fd)));
    if (!ours || !handle->Running()) return nullptr;
    return handle;
}

void TProcessHandle::RequestEnd() {
    ::syscall(SYS_pidfd_send_signal, fd_.get(), SIGTERM, nullptr, 0);
}

void TProcessHandle::ForceEnd() {
    ::syscall(SYS_pidfd_send_signal, fd_.get(), SIGKILL, nullptr, 0);
}

bool TProcessHandle::Running() {
    // A process descriptor becomes readable when its process ends.
    pollfd ended{fd_.get(), POLLIN, 0};
    return ::poll(&ended, 1, 0) == 0;
}

}  // namespace quernel
