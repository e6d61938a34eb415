#include "host/SpoolerWait.h"

#include <chrono>

#include "host/Clock.h"
#include "host/Processes.h"

namespace quernel {

int WindowsVersionCode() {
    return -1;
}

bool SpoolerRunning(IProcesses& processes) {
    for (const auto& process : processes.List()) {
        if (ProcessMatches(process, "SPOOLSV.EXE")) return true;
    }
    return false;
}

bool WaitForSpooler(int versionCode, bool win98, IProcesses& processes, ISleeper& sleeper,
                    const std::function<std::unique_ptr<IWaitWindow>()>& createWindow) {
    if (win98 || versionCode <= 3) return true;
    std::unique_ptr<IWaitWindow> window;
    while (!SpoolerRunning(processes)) {
        sleeper.Sleep(std::chrono::milliseconds(200));
        if (!window) window = createWindow();
        window->Refresh();
        if (window->StopRequested()) return false;
    }
    return true;
}

}  // namespace quernel
