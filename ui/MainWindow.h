#pragma once

namespace quernel {

// The main window as the program's life cycle sees it. Start-up creates it after the
// single-instance check, the file timer's first tick may hide it, a second copy of the
// program asks for it, and the end of the desktop session closes it without the question.
class IMainWindow {
  public:
    virtual ~IMainWindow() = default;
    // Shows the window (on the first tab) unless it is to start hidden.
    virtual void ShowAtStart() = 0;
    // Brings the window back from the tray or the taskbar and raises it.
    virtual void Restore() = 0;
    // Hides the window into the tray (into the taskbar when the desktop has no tray).
    virtual void Minimise() = 0;
    // The desktop session is ending: a close request closes without the question.
    virtual void SetEnding() = 0;
};

}  // namespace quernel
