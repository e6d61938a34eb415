#pragma once

#include <functional>

namespace quernel {

// The answers of the close question.
enum class TCloseAnswer { kHide, kClose, kCancel };

// What a request to close the main window does.
struct TCloseActions {
    std::function<TCloseAnswer()> ask;  // the close question
    std::function<void()> hide;         // into the tray
    std::function<void()> save;         // the settings
    std::function<void()> quit;         // ends the application
};

// Decides what the window's close button, the tray's "&Zamknij" and the end of the desktop
// session do. The window calls CloseRequested from its close event.
class TCloseControl {
  public:
    explicit TCloseControl(TCloseActions actions) : actions_(std::move(actions)) {}

    // Asks the close question unless the session is ending. Close (or an ending session)
    // saves the settings, ends the application and answers true: the window may close. Hide
    // moves the window into the tray; cancel does nothing. Both answer false.
    bool CloseRequested();

    // The desktop session is ending: the settings are saved now, and close requests from now
    // on close without the question.
    void SessionEnding();

    bool Ending() const { return ending_; }

  private:
    TCloseActions actions_;
    bool ending_ = false;
};

}  // namespace quernel
