#include "platform/HeadlessApp.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <memory>

#include "host/BW_log.h"
#include "host/ErrorReport.h"
#include "host/SpoolerWait.h"
#include "host/Text.h"
#include "host/VersionInfo.h"
#include "platform/ProgramStart.h"
#include "platform/QtEnvironment.h"
#include "platform/QuernelProgram.h"
#include "platform/SingleInstance.h"
#include "platform/StopSignals.h"

namespace quernel {

namespace {

class ConsoleHistory final : public IHistoryView {
  public:
    void AppendLine(const std::string& line) override {
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
    }
};

// Errors go to the same stream as the history, in order with it, marked so they stand out. A
// message of several lines keeps them, indented, so that no part of it (a file name with a
// line feed) can pass for a line of its own.
class ConsoleErrors final : public IErrorReport {
  public:
    explicit ConsoleErrors(const IClock& clock) : clock_(clock) {}
    void ShowError(const std::string& message) override {
        std::string text;
        std::size_t start = 0;
        for (std::size_t end; (end = message.find('\n', start)) != std::string::npos;
             start = end + 1) {
            text += EscapeControls(std::string_view(message).substr(start, end - start));
            text += "\n  ";
        }
        text += EscapeControls(std::string_view(message).substr(start));
        std::fprintf(stdout, "%s ! %s\n", TimeStamp(ToLocal(clock_.Now())).c_str(), text.c_str());
        std::fflush(stdout);
    }

  private:
    const IClock& clock_;
};

// Without a window the wait for the spooler can only be ended by a stop signal.
class SignalWaitWindow final : public IWaitWindow {
  public:
    void Refresh() override {}
    bool StopRequested() const override { return quernel::StopRequested(); }
};

}  // namespace

int RunHeadless(TProgramStart& start) {
    InstallStopSignals();
    PrepareQtEnvironment(true);
    QGuiApplication app(start.argc, start.argv);

    if (!WaitForSpooler(start.windowsVersionCode, start.params.ParamSwitch(kSwitchWin98),
                        start.processes, start.sleeper,
                        [] { return std::make_unique<SignalWaitWindow>(); })) {
        return 0;
    }

    ConsoleHistory console;
    ConsoleErrors errors(start.clock);
    TSingleInstance instance(start.oneCopyName);
    switch (instance.BecomeRunningCopy()) {
        case TSingleInstance::TStart::kRunning:
            break;
        case TSingleInstance::TStart::kOtherCopy:
            instance.AskRunningCopyToShow();
            return 0;
        case TSingleInstance::TStart::kFailed:
            ReportFailedStart(start, instance.Error(), errors);
            return 1;
    }
    TQuernelProgram program(start, errors);
    instance.onShowRequest = [&] {
        start.history.Add("Program już działa: drugiej kopii nie uruchomiono");
    };
    if (!program.SetUp(&console)) return 0;
    if (StopRequested()) {
        program.SaveAndStop();
        return 0;
    }
    program.StartTimers({});

    QSocketNotifier stop(StopSignalDescriptor(), QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [&] {
        stop.setEnabled(false);
        program.SaveAndStop();
        QCoreApplication::exit(0);
    });

    const int rc = app.exec();
    start.history.Attach(nullptr);
    return rc;
}

}  // namespace quernel
