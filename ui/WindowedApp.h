#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "host/BW_log.h"
#include "host/ErrorReport.h"
#include "ui/MainWindow.h"

namespace quernel {

class TCloseControl;
class TProgramStart;
class TQuernelCore;
class TRunParams;

// What a window of the program is created with.
struct TMainWindowContext {
    TQuernelCore& core;
    // The window's close event asks this whether to close (and the tray's "&Zamknij" too).
    TCloseControl& close;
    const TRunParams& params;
};

// The main window as created: the window, and its history box, which the set-up attaches to
// the history log.
struct TMainWindowParts {
    std::unique_ptr<IMainWindow> window;
    IHistoryView* history = nullptr;
};

// The windows of a windowed run, created in this order once this copy is the running one: the
// main window, the new-version window, the close question (built in), the help window, the
// print-from-page dialog. The optional ones may be left empty.
struct TWindowFactories {
    // The general error report (message boxes); exists before the main window.
    std::function<std::unique_ptr<IErrorReport>()> errorReport;
    std::function<TMainWindowParts(TMainWindowContext&)> mainWindow;
    std::function<std::unique_ptr<QObject>(TMainWindowContext&)> updateWindow;
    std::function<std::unique_ptr<QObject>(TMainWindowContext&)> helpWindow;
    std::function<std::unique_ptr<QObject>(TMainWindowContext&)> fromPageDialog;
};

// Quernel with its windows: the splash window, the spooler wait, one running copy (a second
// start asks the running copy to show its window and ends), the windows, the message loop.
// Closing the main window asks the close question; the end of the desktop session and SIGTERM
// save the settings and end the program without it. Answers the exit code.
int RunWindowed(TProgramStart& start, const TWindowFactories& factories);

}  // namespace quernel
