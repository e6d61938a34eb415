#pragma once

#include <functional>
#include <memory>

namespace quernel {

class IProcesses;
class ISleeper;

// The classification of the Windows version the program runs on: 4 to 6 are the systems
// whose print spooler may start after the program (NT 4, 2000, XP); -1 is any other system.
// On Linux the printing system is not a process to wait for: always -1.
int WindowsVersionCode();

// True when the print spooler's process runs.
bool SpoolerRunning(IProcesses& processes);

// The window shown while the start waits for the spooler.
class IWaitWindow {
  public:
    virtual ~IWaitWindow() = default;  // hides and destroys the window
    // Draws the window again and handles what the user did meanwhile.
    virtual void Refresh() = 0;
    // True once the user asked to stop the start.
    virtual bool StopRequested() const = 0;
};

// Before the windows are created: on a system that needs it (a version code above 3, and not
// "/win98"), waits in steps of 200 ms until the spooler runs, showing the wait window from the
// first step on. False when the user stopped the start in the wait window.
bool WaitForSpooler(int versionCode, bool win98, IProcesses& processes, ISleeper& sleeper,
                    const std::function<std::unique_ptr<IWaitWindow>()>& createWindow);

}  // namespace quernel
