#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QtTest>

#include "fakes/RecordingErrorReport.h"
#include "gui/GuiSupport.h"
#include "gui/RealCoreParts.h"
#include "integration/CupsHarness.h"

using namespace quernel;
using namespace quernel::test;

// The window over the real back ends prints a chosen file through its tray menu's
// "&Drukuj plik" onto a queue of the private CUPS scheduler.
class WindowPrintingTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        harness_.Start();
        harness_.SetEnvironment();
    }
    void cleanupTestCase() { harness_.Stop(); }

    void manualPrintoutReachesTheChosenQueue() {
        const std::string queue = harness_.QueueNames()[1];
        RecordingErrorReport errors;
        std::filesystem::create_directories(dir_ / "program");
        InstallShippedData(QUERNEL_SHIPPED_DATA_DIR, dir_ / "program");
        RealCoreParts parts(errors, IniKeyStore(dir_ / "config", dir_ / "machine"),
                            dir_ / "program", (dir_ / "PRN2FILE.TXT").string(),
                            TfileLog(clock_, {}, {}));
        TQuernelCore& core = parts.core;
        TbwLog& history = parts.history;
        ScriptedDialogs script;
        ScriptedWindowDialogs dialogs(script);
        TMainWindowHooks hooks;
        hooks.dialogs = &dialogs;
        hooks.onClosed = [] {};
        TqnMain window(core, hooks);
        StartWindow(core, history, window);

        auto* printers = Find<QComboBox>(window, "cbPrinter");
        const int index = printers->findText(QString::fromStdString(queue));
        QVERIFY(index >= 0);
        printers->setCurrentIndex(index);
        emit printers->activated(index);
        QCOMPARE(core.Printers().SelectedPrinterName(), queue);

        // Two pages in code page 852; the printout starts at the second.
        const auto file = dir_ / "faktura.prn";
        WriteFile(file, std::string("Strona pierwsza\r\n\x0c") +
                            "Za\xbe\xa2\x88\x86 g\xa9\x98l\xa5" + " strona druga\r\n\x0c");
        script.files.push_back(file.string());
        script.pages.push_back(2);
        Find<QAction>(window, "miPrintFile")->trigger();
        QVERIFY2(errors.messages.empty(),
                 errors.messages.empty() ? "" : errors.messages[0].c_str());

        const auto jobs = harness_.WaitForJobs(queue, 1);
        QCOMPARE(jobs.size(), std::size_t{1});
        QVERIFY(jobs[0].bytes.starts_with("%PDF"));
        WriteFile(dir_ / "job.pdf", jobs[0].bytes);
        const std::string text =
            CupsHarness::RunCommand({"pdftotext", (dir_ / "job.pdf").string(), "-"}).output;
        QVERIFY2(text.find("Zażółć gęślą strona druga") != std::string::npos, text.c_str());
        QVERIFY2(text.find("pierwsza") == std::string::npos, text.c_str());
        QVERIFY(harness_.CapturedJobs(harness_.QueueNames()[0]).empty());
        const QString log = Find<QPlainTextEdit>(window, "memLog")->toPlainText();
        QVERIFY(log.contains(QString::fromStdString(" : Ręczne drukowanie : " + file.string())));
        QVERIFY(log.contains(QString::fromStdString(" : " + file.string() + " wydrukowany")));
    }

  private:
    SystemClock clock_;
    CupsHarness harness_;
    TempDir dir_;
};

int main(int argc, char** argv) {
    return quernel::test::RunGuiTest<WindowPrintingTest>(argc, argv);
}

#include "WindowPrintingTest.moc"
