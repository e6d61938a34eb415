#pragma once

#include <functional>
#include <memory>

#include "host/ErrorReport.h"
#include "monitor/QuernelCore.h"
#include "platform/CupsJobs.h"
#include "platform/CupsPrinterState.h"
#include "platform/IniKeyStore.h"
#include "platform/PosixFileSystem.h"
#include "platform/PrintoutFolder.h"
#include "platform/ProgramTimers.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"
#include "platform/XdgAutostartFolder.h"

namespace quernel {

class IHistoryView;
class TProgramStart;

// The running program without its window: the back ends, the application core, the autostart
// registration and the timers. Created, once this copy is the running one, in a windowed and
// a windowless run alike; needs the Qt application object.
class TQuernelProgram {
  public:
    TQuernelProgram(TProgramStart& start, IErrorReport& errors);
    ~TQuernelProgram();

    TQuernelCore& Core() { return *core_; }

    // The main window's set-up: the history view attached ("Ustawienia domyślne"), the printer
    // list, the settings and the monitored list, monitoring on. False when a stop was asked
    // for before the settings were loaded: there is nothing to save then.
    bool SetUp(IHistoryView* view);

    // Set by SetUp: "/hide" and at least one printer.
    bool StartHidden() const { return startHidden_; }

    // The file and DOS-machine timers; the first file tick calls minimise when starting hidden.
    void StartTimers(std::function<void()> minimise);

    void StopTimers();
    // The end: timers stopped, settings saved.
    void SaveAndStop();

  private:
    TProgramStart& start_;
    QtPrinterPlatform printer_;
    TCupsJobs jobs_;
    IniKeyStore keys_;
    QtPictureLoader pictures_;
    TPosixFileSystem files_;
    TXdgAutostartFolder autostart_;
    TPrintoutFolder printouts_;
    TCupsPrinterState printerState_;
    std::unique_ptr<TCoreServices> services_;
    std::unique_ptr<TQuernelCore> core_;
    std::unique_ptr<TProgramTimers> timers_;
    bool startHidden_ = false;
};

}  // namespace quernel
