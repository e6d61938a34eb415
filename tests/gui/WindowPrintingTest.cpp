#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "engine/QueuePpd.h"
#include "fakes/FakeTimer.h"
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

    // A character typed into the map and a code added to the table, neither saved, shape the
    // very next printout on the queue.
    void editorChangesReachTheNextPrintout() {
        const std::string queue = harness_.QueueNames()[0];
        RecordingErrorReport errors;
        const auto dir = dir_ / "edits";
        std::filesystem::create_directories(dir / "program");
        InstallShippedData(QUERNEL_SHIPPED_DATA_DIR, dir / "program");
        RealCoreParts parts(errors, IniKeyStore(dir / "config", dir / "machine"), dir / "program",
                            (dir / "PRN2FILE.TXT").string(), TfileLog(clock_, {}, {}));
        ScriptedDialogs script;
        ScriptedWindowDialogs dialogs(script);
        TMainWindowHooks hooks;
        hooks.dialogs = &dialogs;
        hooks.onClosed = [] {};
        TqnMain window(parts.core, hooks);
        StartWindow(parts.core, parts.history, window);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* printers = Find<QComboBox>(window, "cbPrinter");
        const int index = printers->findText(QString::fromStdString(queue));
        printers->setCurrentIndex(index);
        emit printers->activated(index);

        // "@" prints as "Ż".
        auto* tabs = Find<QTabWidget>(window, "PageControl");
        tabs->setCurrentWidget(Find<QWidget>(window, "tsCharMap"));
        Find<QCheckBox>(window, "cbTrybEdycji")->click();
        auto* grid = Find<QTableWidget>(window, "sgCharMap");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualItemRect(grid->item(3, 1)).center());
        auto* glyph = Find<QLineEdit>(window, "edMap");
        glyph->setFocus();
        glyph->selectAll();
        QTest::sendKeyEvent(QTest::Click, glyph, Qt::Key_unknown, QString::fromUtf8("Ż"),
                            Qt::NoModifier);
        QTest::keyClick(glyph, Qt::Key_Tab);
        QCOMPARE(Find<QLineEdit>(window, "edMapDec")->text(),
                 QString::number(parts.core.ActiveCharMap().Map['@']));
        // "Q" is dropped.
        tabs->setCurrentWidget(Find<QWidget>(window, "tsSequences"));
        Find<QCheckBox>(window, "cbTrybEdycjiSQ")->click();
        Find<QLineEdit>(window, "edAddSequence")->setText(" Q");
        Find<QComboBox>(window, "cbChooseSeq")->setCurrentIndex(1);  // "Ignoruj"
        Find<QPushButton>(window, "btAddSequence")->click();
        QVERIFY(dialogs.messages.empty());

        const auto file = dir / "edycja.prn";
        WriteFile(file, "Zam\xa2wienie @Q1\r\n");
        script.files.push_back(file.string());
        script.pages.push_back(1);
        Find<QAction>(window, "miPrintFile")->trigger();
        QVERIFY2(errors.messages.empty(),
                 errors.messages.empty() ? "" : errors.messages[0].c_str());
        const auto jobs = harness_.WaitForJobs(queue, 1);
        QCOMPARE(jobs.size(), std::size_t{1});
        WriteFile(dir / "job.pdf", jobs[0].bytes);
        const std::string text =
            CupsHarness::RunCommand({"pdftotext", (dir / "job.pdf").string(), "-"}).output;
        QVERIFY2(text.find("Zamówienie Ż1") != std::string::npos, text.c_str());
    }

    // A DOS printer queue of CUPS is a printer like any other on the "&Drukarka" tab.
    void dosPrinterQueuesAreListedLikeAnyPrinter() {
        const auto ppd = dir_ / "dos.ppd";
        WriteFile(ppd, MakeQueuePpd(DefaultQueuePpdSettings(QUERNEL_SHIPPED_DATA_DIR)));
        const CommandResult added =
            harness_.RunAdmin({"lpadmin", "-p", "dos-kasa", "-v", "quernel-capture:/dos-kasa", "-P",
                               ppd.string(), "-E"});
        QVERIFY2(added.exit_code == 0, added.output.c_str());

        RecordingErrorReport errors;
        std::filesystem::create_directories(dir_ / "listing");
        InstallShippedData(QUERNEL_SHIPPED_DATA_DIR, dir_ / "listing");
        RealCoreParts parts(errors, IniKeyStore(dir_ / "listing-config", dir_ / "listing-machine"),
                            dir_ / "listing", (dir_ / "PRN2FILE.TXT").string(),
                            TfileLog(clock_, {}, {}));
        ScriptedDialogs script;
        ScriptedWindowDialogs dialogs(script);
        TMainWindowHooks hooks;
        hooks.dialogs = &dialogs;
        hooks.onClosed = [] {};
        TqnMain window(parts.core, hooks);
        StartWindow(parts.core, parts.history, window);

        auto* printers = Find<QComboBox>(window, "cbPrinter");
        const int index = printers->findText("dos-kasa");
        QVERIFY(index >= 0);
        QVERIFY(printers->findText(QString::fromStdString(harness_.QueueNames()[0])) >= 0);
        printers->setCurrentIndex(index);
        emit printers->activated(index);
        QCOMPARE(parts.core.Printers().SelectedPrinterName(), std::string("dos-kasa"));
        harness_.RunAdmin({"lpadmin", "-x", "dos-kasa"});
    }

    // "&Ustawienia" of a CUPS queue offers the queue's own settings, nothing about a file, and
    // its documents get them; the tab and the tray tip show the queue's state as CUPS has it.
    void aQueuesOwnSettingsAndStateReachItsJobsAndTheTab() {
        const CommandResult added =
            harness_.RunAdmin({"lpadmin", "-p", "laser-ppd", "-v", "quernel-capture:/laser-ppd",
                               "-P", std::string(QUERNEL_TEST_DATA_DIR) + "/test_laser.ppd", "-E"});
        QVERIFY2(added.exit_code == 0, added.output.c_str());
        RecordingErrorReport errors;
        const auto dir = dir_ / "queue-settings";
        std::filesystem::create_directories(dir / "program");
        InstallShippedData(QUERNEL_SHIPPED_DATA_DIR, dir / "program");
        RealCoreParts parts(errors, IniKeyStore(dir / "config", dir / "machine"), dir / "program",
                            (dir / "PRN2FILE.TXT").string(), TfileLog(clock_, {}, {}));
        ScriptedDialogs script;
        ScriptedWindowDialogs dialogs(script);
        TMainWindowHooks hooks;
        hooks.dialogs = &dialogs;
        hooks.onClosed = [] {};
        TqnMain window(parts.core, hooks);
        StartWindow(parts.core, parts.history, window);
        auto* printers = Find<QComboBox>(window, "cbPrinter");
        const int index = printers->findText("laser-ppd");
        QVERIFY(index >= 0);
        printers->setCurrentIndex(index);
        emit printers->activated(index);

        QStringList shown;
        bool noFile = true;
        QTimer::singleShot(200, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            for (const char* name : {"cbQueuePaper", "cbQueueTray", "cbQueueDuplex"}) {
                auto* box = dialog->findChild<QComboBox*>(name);
                if (box == nullptr) continue;
                shown << name;
                for (int i = 0; i < box->count(); ++i) shown << box->itemText(i);
            }
            for (const auto* w : dialog->findChildren<QWidget*>()) {
                const QString text = w->property("text").toString();
                if (text.contains("plik", Qt::CaseInsensitive) ||
                    text.contains("file", Qt::CaseInsensitive)) {
                    noFile = false;
                }
            }
            auto* duplex = dialog->findChild<QComboBox*>("cbQueueDuplex");
            if (duplex != nullptr) {
                duplex->setCurrentIndex(duplex->findData("two-sided-long-edge"));
            }
            dialog->findChild<QPushButton*>("btOk")->click();
        });
        Find<QPushButton>(window, "btPrinter")->click();
        QVERIFY2(shown.contains("cbQueuePaper") && shown.contains("A5") &&
                     shown.contains("cbQueueTray") && shown.contains("cbQueueDuplex") &&
                     shown.contains(QString::fromUtf8("Dwustronnie, wzdłuż dłuższej krawędzi")),
                 qPrintable(shown.join(", ")));
        QVERIFY(noFile);

        const auto file = dir / "dwustronny.prn";
        WriteFile(file, std::string("Dwie strony\r\n\x0c"));
        script.files.push_back(file.string());
        script.pages.push_back(1);
        Find<QAction>(window, "miPrintFile")->trigger();
        QVERIFY2(errors.messages.empty(),
                 errors.messages.empty() ? "" : errors.messages[0].c_str());
        const auto jobs = harness_.WaitForJobs("laser-ppd", 1);
        QCOMPARE(jobs.size(), std::size_t{1});
        QVERIFY2(jobs[0].options.find("two-sided-long-edge") != std::string::npos ||
                     jobs[0].options.find("DuplexNoTumble") != std::string::npos,
                 jobs[0].options.c_str());

        // The queue stopped with a reason: the tab and the tray tip say so.
        harness_.RunAdmin({"cupsdisable", "-r", "Brak papieru w podajniku 2", "laser-ppd"});
        FakeTimer timer;
        auto* state = Find<QLabel>(window, "labPrinterState");
        for (int i = 0; i < 100 && !state->text().contains(QString::fromUtf8("zatrzymana")); ++i) {
            parts.core.Monitoring().Tick(timer);
            QTest::qWait(100);
        }
        QVERIFY2(state->text().contains(QString::fromUtf8("zatrzymana")),
                 qPrintable(state->text()));
        QVERIFY2(state->text().contains("Brak papieru w podajniku 2"), qPrintable(state->text()));
        QVERIFY(window.TrayIcon().toolTip().contains(QString::fromUtf8("laser-ppd: zatrzymana")));
        harness_.RunAdmin({"lpadmin", "-x", "laser-ppd"});
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
