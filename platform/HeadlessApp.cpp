#include "platform/HeadlessApp.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "host/BW_log.h"
#include "host/Clock.h"
#include "host/Environment.h"
#include "host/ErrorReport.h"
#include "host/ProgramDir.h"
#include "monitor/Monitoring.h"
#include "monitor/QuernelCore.h"
#include "platform/IniKeyStore.h"
#include "platform/PosixFileSystem.h"
#include "platform/QtEnvironment.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"

namespace quernel {

namespace fs = std::filesystem;

namespace {

class ConsoleHistory final : public IHistoryView {
  public:
    void AppendLine(const std::string& line) override {
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
    }
};

// Errors go to the same stream as the history, in order with it, marked so they stand out.
class ConsoleErrors final : public IErrorReport {
  public:
    explicit ConsoleErrors(const IClock& clock) : clock_(clock) {}
    void ShowError(const std::string& message) override {
        std::fprintf(stdout, "%s ! %s\n", TimeStamp(ToLocal(clock_.Now())).c_str(),
                     message.c_str());
        std::fflush(stdout);
    }

  private:
    const IClock& clock_;
};

class QtTimer final : public ITimer {
  public:
    explicit QtTimer(QTimer& timer) : timer_(timer) {}
    void Start() override { timer_.start(); }
    void Stop() override { timer_.stop(); }

  private:
    QTimer& timer_;
};

// SIGINT and SIGTERM reach the event loop through a pipe.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

int RunHeadless(int argc, char** argv) {
    PrepareQtEnvironment(true);
    QGuiApplication app(argc, argv);

    SystemClock clock;
    ConsoleHistory console;
    TbwLog history(clock);
    const fs::path programDir = ResolveProgramDir(ProgramDirInputsFromEnvironment());
    TfileLog fileLog = TfileLog::ForProgram(clock, programDir, ExecutableName());
    ConsoleErrors errors(clock);
    QtPrinterPlatform printer(clock);
    IniKeyStore keys = IniKeyStore::FromEnvironment();
    QtPictureLoader pictures;
    TPosixFileSystem files(&clock);
    SystemSleeper sleeper;

    // The folder a DOS emulator's printer port writes into.
    const fs::path quernelHome = QuernelFolder();
    std::error_code ec;
    fs::create_directories(quernelHome, ec);

    TCoreServices services{printer,
                           keys,
                           pictures,
                           files,
                           clock,
                           sleeper,
                           errors,
                           history,
                           fileLog,
                           programDir,
                           (quernelHome / "PRN2FILE.TXT").string()};
    services.printedStateFile = StateFolder() / "printed.txt";
    services.printerReader = &printer;
    TQuernelCore core(services);

    history.Attach(&console);
    history.Add("Ustawienia domyślne");
    core.Printers().FillPrinterList();
    core.LoadSettings();
    core.Monitoring().SetActive(true);

    QTimer timer;
    timer.setInterval(500);
    QtTimer tick(timer);
    QObject::connect(&timer, &QTimer::timeout, [&] { core.Monitoring().Tick(tick); });
    timer.start();

    if (::pipe2(signalPipe, O_CLOEXEC) != 0) return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        timer.stop();
        core.SaveSettings();
        app.quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    const int rc = app.exec();
    history.Attach(nullptr);
    return rc;
}

}  // namespace quernel
