// quernel-screenshots OUT: builds the real main window with the real back ends (settings,
// printers, pictures, files from the environment), and saves a picture of every tab, every
// dialog, the tray menu, the help window, the splash, the new-version window and "Ostatnie
// wydruki" (a text printout, a graphics printout, a failed one and one waiting for the
// decision) into the folder OUT. A private CUPS scheduler gives it a queue with settings of
// its own, stopped, for the printer's state; without one those pictures are left out. Used by
// tools/screenshots.sh, which runs it under Xvfb with a private configuration.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "gui/RealCoreParts.h"
#include "host/BW_log.h"
#include "host/BrowserCommand.h"
#include "host/Environment.h"
#include "host/FileUtil.h"
#include "host/ProgramDir.h"
#include "host/VersionInfo.h"
#include "integration/CupsHarness.h"
#include "monitor/KeptPrintouts.h"
#include "monitor/Monitoring.h"
#include "platform/CupsQueueSettings.h"
#include "platform/PagePreview.h"
#include "platform/PrintoutFolder.h"
#include "ui/ErrorBox.h"
#include "ui/QN_About.h"
#include "ui/QN_AddFolder.h"
#include "ui/QN_CanClose.h"
#include "ui/QN_ChoosePrinter.h"
#include "ui/QN_FromPage.h"
#include "ui/QN_Start.h"
#include "ui/QN_Wait.h"
#include "ui/QtTranslations.h"
#include "ui/QueueSettingsDialog.h"
#include "ui/RecentPrintouts.h"
#include "ui/Splash.h"
#include "ui/WindowDialogs.h"
#include "update/BWUpdate.h"

using namespace quernel;

namespace {

QString outDir;
int saved = 0;

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(40);
    }
}

void Save(QWidget& widget, const QString& name) {
    Settle();
    const QString path = QDir(outDir).filePath(name + ".png");
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    ++saved;
}

// Moves the pointer, as far as the widget can tell, to a point of it.
void MovePointer(QWidget& widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(widget.mapToGlobal(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

// The centre of a cell of a table, in its viewport.
QPoint CellCentre(QTableWidget& table, int row, int column) {
    return table.visualItemRect(table.item(row, column)).center();
}

// The two editor tabs in edit mode: the character map with the hover box over an entry, in
// the charset of its file and in a Cyrillic one, and the control codes with a row copied into
// the add fields.
void SaveEditors(QWidget& window, QTabWidget& tabs) {
    tabs.setCurrentWidget(window.findChild<QWidget*>("tsCharMap"));
    window.findChild<QCheckBox*>("cbTrybEdycji")->setChecked(true);
    auto* grid = window.findChild<QTableWidget*>("sgCharMap");
    grid->setCurrentCell(6, 6);  // source 0xA5
    Settle();
    MovePointer(*grid->viewport(), CellCentre(*grid, 6, 6));
    Save(window, "tab-4-tsCharMap-edit-hint");
    MovePointer(*grid->viewport(), CellCentre(*grid, 8, 32));
    Save(window, "tab-4-tsCharMap-edit-hint-corner");
    auto* charset = window.findChild<QComboBox*>("cbCharset");
    const int before = charset->currentIndex();
    charset->setCurrentIndex(4);  // "Rosja"
    MovePointer(*grid->viewport(), CellCentre(*grid, 7, 7));
    Save(window, "tab-4-tsCharMap-edit-Rosja");
    charset->setCurrentIndex(before);
    window.findChild<QCheckBox*>("cbTrybEdycji")->setChecked(false);

    tabs.setCurrentWidget(window.findChild<QWidget*>("tsSequences"));
    window.findChild<QCheckBox*>("cbTrybEdycjiSQ")->setChecked(true);
    auto* list = window.findChild<QTableWidget*>("lvSequences");
    if (list->rowCount() > 2) {
        list->selectRow(2);
        emit list->cellDoubleClicked(2, 0);
    }
    Save(window, "tab-5-tsSequences-edit");
    window.findChild<QCheckBox*>("cbTrybEdycjiSQ")->setChecked(false);
}

// The monitoring loop's timer, which the pictures need not run.
class FakeTimerForShots final : public ITimer {
  public:
    void Start() override {}
    void Stop() override {}
};

// Keeps a printout as the monitoring loop does: a file of the test data printed (or failed, or
// waiting for the decision) with the current settings, or the command set given.
void Keep(TQuernelCore& core, const char* file, int commandSet, TPrintoutResult result) {
    const std::filesystem::path path = std::filesystem::path(QUERNEL_TEST_DATA_DIR) / file;
    const Bytes data = ReadWholeFile(path);
    TPrintJobSetup setup = core.CurrentJobSetup();
    setup.commandSet = commandSet;
    TKeptPrintouts& kept = core.Printouts();
    kept.JobStarts(setup, false);
    const TPrintoutFacts facts{(QuernelFolder() / "PRN2FILE.TXT").string(), "", "Quernel PDF",
                               std::nullopt};
    switch (result) {
        case TPrintoutResult::kFailed:
            kept.Failed(facts, data,
                        "The printer \"Laser-biuro\" did not take the document: "
                        "client-error-not-possible",
                        (QuernelFolder() / "Nieudane/Brackwood Quernel.prn").string());
            break;
        case TPrintoutResult::kWaiting: {
            const bool before = kept.PreviewAvailable();
            kept.SetPreviewAvailable(true);
            core.UpdateSettings([](AppSettings& s) { s.PreviewBeforePrint = true; });
            kept.HoldBeforePrinting(facts, data);
            core.UpdateSettings([](AppSettings& s) { s.PreviewBeforePrint = false; });
            kept.SetPreviewAvailable(before);
            break;
        }
        default:
            kept.Printed(facts, data, TPagePreview::CountPages(setup, data),
                         (core.PdfFolder() / "Brackwood Quernel.pdf").string(), {});
            break;
    }
}

// Shows a dialog without its event loop, saves its picture and closes it.
void SaveDialog(QWidget& dialog, const QString& name) {
    dialog.show();
    Save(dialog, name);
    dialog.close();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    InstallQtTranslations(app);  // as the program does
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    // A queue of a private scheduler, with the settings of a laser printer's driver.
    test::CupsHarness::Options cups;
    cups.queues = {"Laser-biuro"};
    test::CupsHarness harness(cups);
    bool queue = false;
    try {
        harness.Start();
        harness.SetEnvironment();
        harness.RunAdmin({"lpadmin", "-p", "Laser-biuro", "-P",
                          std::string(QUERNEL_TEST_DATA_DIR) + "/test_laser.ppd"});
        queue = true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "no CUPS scheduler (%s): no pictures of a queue\n", e.what());
    }

    TErrorBox errors;
    std::filesystem::create_directories(QuernelFolder());
    const auto programDir = ResolveProgramDir(ProgramDirInputsFromEnvironment());
    SystemClock clock;
    TPrintoutFolder printouts(TPrintoutFolder::FromEnvironment());
    test::RealCoreParts parts(errors, IniKeyStore::FromEnvironment(), programDir,
                              (QuernelFolder() / "PRN2FILE.TXT").string(),
                              TfileLog::ForProgram(clock, programDir, ExecutableName()),
                              &printouts);
    TQuernelCore& core = parts.core;
    TbwLog& history = parts.history;
    QtPrinterPlatform& printer = parts.printer;

    TMainWindowHooks hooks;
    hooks.errorBox = &errors;
    hooks.vendorSite = GetEnv("QUERNEL_VENDOR_SITE").value_or("https://www.brackwood.example");
    hooks.onClosed = [] {};
    TqnMain window(core, hooks);
    history.Add("Ustawienia domyślne");
    core.Printers().FillPrinterList();
    core.LoadSettings();
    core.Monitoring().SetActive(true);
    window.ShowAtStart();

    auto* tabs = window.findChild<QTabWidget*>("PageControl");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        Save(window, QString("tab-%1-%2").arg(i + 1).arg(tabs->widget(i)->objectName()));
    }
    SaveEditors(window, *tabs);
    tabs->setCurrentIndex(0);

    TfrmAddFolder addFolder(&window, QString::fromStdString(QuernelFolder().string()));
    SaveDialog(addFolder, "dialog-frmAddFolder");
    std::vector<std::string> choices{kMainPrinterChoice};
    for (const auto& name : printer.Printers()) choices.push_back(name);
    TfrmChoosePrinter choosePrinter(choices, &window);
    SaveDialog(choosePrinter, "dialog-frmChoosePrinter");
    TdlgPrintFromPage fromPage(&window);
    SaveDialog(fromPage, "dialog-dlgPrintFromPage");
    const auto fileDialog = TQtWindowDialogs::NewFileDialog(&window);
    fileDialog->setDirectory(QString::fromStdString(QuernelFolder().string()));
    SaveDialog(*fileDialog, "dialog-file");
    const auto pictureDialog = TQtWindowDialogs::NewPictureDialog(&window);
    pictureDialog->setDirectory(QString::fromStdString(QuernelFolder().string()));
    SaveDialog(*pictureDialog, "dialog-picture");
    QMessageBox error(QMessageBox::Critical, kApplicationTitle,
                      QString::fromUtf8("Nie można otworzyć pliku „PRN2FILE.TXT”: brak dostępu"),
                      QMessageBox::Ok, &window);
    SaveDialog(error, "dialog-error");

    TdlCanClose question(&window);
    SaveDialog(question, "dialog-dlCanClose");
    TSplashForm splash;
    SaveDialog(splash, "window-splash");
    TWaitPrinterForm wait;
    SaveDialog(wait, "window-waitPrinter");
    // The new-version window as a reply naming another version shows it; nothing is sent.
    IniKeyStore updateKeys = IniKeyStore::FromEnvironment();
    TfrmBWUpdate update(UpdateSetup{updateKeys, clock,
                                    UpdateIdentity{"QUERNEL", FileVersion(), "", 0}, "", nullptr,
                                    kBrowserCommand, nullptr});
    update.ShowResult(UpdateResult{
        FileVersion(), "2.0.0.0",
        "Nowa wersja drukuje szybciej i obsługuje więcej drukarek.\n"
        "Zmiany: poprawione polskie znaki (ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ) w trybie bezpośrednim."});
    Save(update, "dialog-frmBWUpdate");
    update.hide();

    window.HelpWindow().ShowHelp();
    Save(window.HelpWindow(), "window-help");
    window.HelpWindow().close();

    auto* menu = window.findChild<QMenu*>("pmTray");
    menu->popup(window.mapToGlobal(QPoint(40, 40)));
    Save(*menu, "menu-pmTray");
    menu->close();

    // "Ostatnie wydruki": a graphics printout, a text printout, a failed one, one waiting.
    core.Printers().SelectPrinterByName("Quernel PDF");
    Keep(core, "faktura_cp852.prn", 0, TPrintoutResult::kFailed);
    Keep(core, "rozvaha_kamenicky.prn", 0, TPrintoutResult::kPrinted);
    Keep(core, "escp_invoice_logo.prn", 1, TPrintoutResult::kPrinted);
    Keep(core, "faktura_cp852.prn", 0, TPrintoutResult::kPrinted);
    window.ShowRecentPrintouts();
    TfrmRecentPrintouts& recent = *window.RecentPrintouts();
    recent.resize(recent.fontMetrics().averageCharWidth() * 170,
                  recent.fontMetrics().lineSpacing() * 42);
    auto* list = recent.findChild<QTableWidget*>("lvPrintouts");
    list->selectRow(0);
    Save(recent, "window-recentPrintouts-text");
    list->selectRow(1);
    Save(recent, "window-recentPrintouts-graphics");
    list->selectRow(3);
    Save(recent, "window-recentPrintouts-failed");
    Keep(core, "escp_letter_lfcr.prn", 1, TPrintoutResult::kWaiting);
    window.ShowRecentPrintouts(core.Printouts().Store().Waiting().front());
    Save(recent, "window-recentPrintouts-waiting");
    recent.close();

    // The printer tab: "Quernel PDF" with its folder, and a stopped queue with its state.
    tabs->setCurrentWidget(window.findChild<QWidget*>("tsDrukarka"));
    Save(window, "tab-3-tsDrukarka-pdf");
    if (queue) {
        harness.RunAdmin({"cupsdisable", "-r", "Brak papieru w podajniku 2", "Laser-biuro"});
        core.Printers().SelectPrinterByName("Laser-biuro");
        FakeTimerForShots timer;
        for (int i = 0; i < 50; ++i) {
            core.Monitoring().Tick(timer);
            QApplication::processEvents();
            QThread::msleep(50);
        }
        Save(window, "tab-3-tsDrukarka-queue-stopped");
        TdlgQueueSettings settings("Laser-biuro", ReadQueueSettings("Laser-biuro"), {}, &window);
        SaveDialog(settings, "dialog-dlgQueueSettings");
    }

    std::printf("%d pictures in %s\n", saved, qPrintable(outDir));
    window.SetEnding();
    window.close();
    harness.Stop();
    return 0;
}
