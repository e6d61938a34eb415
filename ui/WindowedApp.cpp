#include "ui/WindowedApp.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <chrono>
#include <cstdio>

#include "host/CloseControl.h"
#include "host/SpoolerWait.h"
#include "host/VersionInfo.h"
#include "platform/ProgramStart.h"
#include "platform/QtEnvironment.h"
#include "platform/QuernelProgram.h"
#include "platform/SingleInstance.h"
#include "platform/StopSignals.h"
#include "ui/QN_CanClose.h"
#include "ui/QN_Wait.h"
#include "ui/QtTranslations.h"
#include "ui/Splash.h"

namespace quernel {

namespace {

std::unique_ptr<QObject> Create(
    const std::function<std::unique_ptr<QObject>(TMainWindowContext&)>& factory,
    TMainWindowContext& context) {
    return factory ? factory(context) : nullptr;
}

}  // namespace

int RunWindowed(TProgramStart& start, const TWindowFactories& factories) {
    InstallStopSignals();
    PrepareQtEnvironment(false);
    QApplication app(start.argc, start.argv);
    InstallQtTranslations(app);
    // The desktop finds the program's menu entry and icon by this name.
    QGuiApplication::setDesktopFileName("quernel");
    // Hidden in the tray the program goes on; it ends through the close question.
    QGuiApplication::setQuitOnLastWindowClosed(false);

    std::unique_ptr<TSplashForm> splash;
    if (!start.params.ParamSwitch(kSwitchNoSplash)) {
        splash = std::make_unique<TSplashForm>();
        splash->show();
        splash->repaint();
        QCoreApplication::processEvents();
    }

    if (!WaitForSpooler(start.windowsVersionCode, start.params.ParamSwitch(kSwitchWin98),
                        start.processes, start.sleeper,
                        [] { return std::make_unique<TWaitPrinterForm>(); })) {
        return 0;
    }

    // The main window: first the one-copy rule, then the window and its set-up.
    TSingleInstance instance(start.oneCopyName);
    const TSingleInstance::TStart copy = instance.BecomeRunningCopy();
    if (copy == TSingleInstance::TStart::kOtherCopy) {
        instance.AskRunningCopyToShow();
        return 0;
    }
    const std::unique_ptr<IErrorReport> errors = factories.errorReport();
    if (copy == TSingleInstance::TStart::kFailed) {
        splash.reset();
        std::fprintf(stderr, "%s\n", instance.Error().c_str());
        ReportFailedStart(start, instance.Error(), *errors);
        return 1;
    }
    TQuernelProgram program(start, *errors);
    std::unique_ptr<TdlCanClose> question;
    TMainWindowParts main;
    TCloseControl close({
        .ask = [&] { return question->Ask(); },
        .hide = [&] { main.window->Minimise(); },
        .save = [&] { program.Core().SaveSettings(); },
        // exit, not quit: quitting would close the windows first, and so ask again.
        .quit =
            [&] {
                program.StopTimers();
                QCoreApplication::exit(0);
            },
    });
    TMainWindowContext context{program.Core(), close, start.params};
    main = factories.mainWindow(context);
    instance.onShowRequest = [&] { main.window->Restore(); };
    if (!program.SetUp(main.history)) return 0;

    const std::unique_ptr<QObject> updateWindow = Create(factories.updateWindow, context);
    question = std::make_unique<TdlCanClose>();
    const std::unique_ptr<QObject> helpWindow = Create(factories.helpWindow, context);
    const std::unique_ptr<QObject> fromPage = Create(factories.fromPageDialog, context);

    if (splash) {
        start.sleeper.Sleep(std::chrono::milliseconds(200));
        splash.reset();
    }

    // The end of the desktop session: no question, and the settings are kept.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &app,
        [&](QSessionManager&) {
            main.window->SetEnding();
            close.SessionEnding();
        },
        Qt::DirectConnection);
    QSocketNotifier stop(StopSignalDescriptor(), QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [&] {
        stop.setEnabled(false);
        program.SaveAndStop();
        QCoreApplication::exit(0);
    });
    if (StopRequested()) {
        program.SaveAndStop();
        return 0;
    }

    if (!program.StartHidden()) main.window->ShowAtStart();
    program.StartTimers([&] { main.window->Minimise(); });
    const int rc = QApplication::exec();
    start.history.Attach(nullptr);
    return rc;
}

}  // namespace quernel
