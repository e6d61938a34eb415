#include "host/Processes.h"

#include <chrono>
#include <filesystem>

#include "host/Clock.h"
#include "host/Text.h"

namespace quernel {

namespace {

std::string_view LastComponent(std::string_view path) {
    const auto at = path.find_last_of("/\\:");
    return at == std::string_view::npos ? path : path.substr(at + 1);
}

constexpr auto kEndPoll = std::chrono::milliseconds(50);
constexpr int kEndPolls = 40;  // 2 seconds for a copy to save and end

}  // namespace

bool ProcessMatches(const TProcessInfo& process, std::string_view upperName) {
    return ToUpperAscii(std::string(LastComponent(process.exeFile))) == upperName;
}

std::string ProgramFileName(const std::string& programPath) {
    return ToUpperAscii(std::string(LastComponent(programPath)));
}

void CloseRunningCopy(IProcessHandle& copy, ISleeper& sleeper) {
    copy.RequestEnd();
    for (int i = 0; i < kEndPolls; ++i) {
        if (!copy.Running()) return;
        sleeper.Sleep(kEndPoll);
    }
    if (copy.Running()) copy.ForceEnd();
}

void LowerDosMachines(bool enabled, IProcesses& processes) {
    if (!enabled) return;
    for (const auto& process : processes.List()) {
        for (std::string_view name : kDosMachineNames) {
            if (ProcessMatches(process, name)) {
                processes.LowerPriority(process.pid);
                break;
            }
        }
    }
}

}  // namespace quernel
