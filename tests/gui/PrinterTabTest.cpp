#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtTest>
#include <deque>

#include "engine/PrinterState.h"
#include "fakes/FakePrintoutFolder.h"
#include "gui/GuiSupport.h"
#include "host/Environment.h"
#include "platform/QtPrinterPlatform.h"
#include "support/MonitorFixture.h"
#include "ui/QueueSettingsDialog.h"

using namespace quernel;
using namespace quernel::test;

namespace {

// The state of every queue, as the test sets it; read at once.
class FakeStateReader final : public IPrinterStateReader {
  public:
    void BeginReading(const std::string& printer) override { reading = printer; }
    std::optional<std::optional<TQueueState>> FinishedReading() override {
        if (reading.empty()) return std::nullopt;
        const auto it = states.find(std::exchange(reading, std::string()));
        return it == states.end() ? std::optional<TQueueState>() : it->second;
    }
    std::string reading;
    std::map<std::string, TQueueState> states;
};

struct Notice {
    TNoticeKind kind;
    std::string title, text;
};

}  // namespace

// The printer tab's state line, the folder of "Quernel PDF", "&Ustawienia", and the
// notifications the tray shows.
class PrinterTabTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CoreParts> parts_;
    FakeStateReader states_;
    FakePrintoutFolder folder_;
    std::unique_ptr<ScriptedWindowDialogs> dialogs_;
    std::unique_ptr<TqnMain> window_;
    std::vector<Notice> notices_;
    bool tray_ = true;
    std::string pdfDir_;

    TQuernelCore& Core() { return *parts_->core; }
    template <typename T>
    T* W(const char* name) {
        return Find<T>(*window_, name);
    }
    void Run(double seconds) {
        for (int i = 0; i < static_cast<int>(seconds * 2); ++i) {
            parts_->clock.Advance(std::chrono::milliseconds(500));
            Core().Monitoring().Tick(parts_->timer);
        }
    }
    void Choose(const char* printer) {
        auto* box = W<QComboBox>("cbPrinter");
        const int index = box->findText(printer);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void PrintOne(const std::string& text) {
        AppendFile(parts_->defaultFile, ToBytes(text));
        SetFileTime(parts_->defaultFile, parts_->clock.Now());
        Run(4);
    }

  private slots:
    void initTestCase() { pdfDir_ = GetEnv("QUERNEL_PDF_DIR").value_or(""); }
    void init() {
        ::unsetenv("QUERNEL_PDF_DIR");
        parts_ = std::make_unique<CoreParts>();
        parts_->keys.Key(KeyRoot::kCurrentUser) = {{"AutoRun", 0}, {"WaitForPageMax", 0}};
        parts_->services.printerState = &states_;
        parts_->services.printoutFolder = &folder_;
        parts_->core = std::make_unique<TQuernelCore>(parts_->services);
        dialogs_ = std::make_unique<ScriptedWindowDialogs>(parts_->dialogs);
        notices_.clear();
        tray_ = true;
        states_.states.clear();
        TMainWindowHooks hooks;
        hooks.dialogs = dialogs_.get();
        hooks.trayAvailable = [this] { return tray_; };
        hooks.showNotice = [this](TNoticeKind kind, const std::string& title,
                                  const std::string& text) {
            notices_.push_back({kind, title, text});
        };
        window_ = std::make_unique<TqnMain>(Core(), hooks);
        StartWindow(Core(), parts_->history, *window_);
        Run(1);  // the loop's first look at the default file, before anything is appended
    }
    void cleanup() {
        window_.reset();
        dialogs_.reset();
        parts_.reset();
        folder_.files.clear();
        ::setenv("QUERNEL_PDF_DIR", pdfDir_.c_str(), 1);
    }

    void thePdfFolderIsShownOpenedAndChosen() {
        const std::string folder = (parts_->dir / "home/QUERNEL/PDF").string();
        QCOMPARE(W<QLineEdit>("edPdfFolder")->text().toStdString(), folder);
        QVERIFY(W<QLineEdit>("edPdfFolder")->isReadOnly());
        W<QPushButton>("btOpenPdfFolder")->click();
        QCOMPARE(dialogs_->openedFolders, std::vector<std::string>{folder});
        QVERIFY(std::filesystem::is_directory(folder));

        const std::string other = (parts_->dir / "faktury").string();
        dialogs_->pdfFolders = {other};
        W<QPushButton>("btChoosePdfFolder")->click();
        QCOMPARE(dialogs_->shownPdfFolders, std::vector<std::string>{folder});
        QCOMPARE(Core().Settings().PdfFolder, other);
        QCOMPARE(Core().PdfFolder().string(), other);
        QCOMPARE(W<QLineEdit>("edPdfFolder")->text().toStdString(), other);
        Core().SaveSettings();
        QCOMPARE(std::get<std::string>(parts_->keys.Key(KeyRoot::kCurrentUser)["PdfFolder"]),
                 other);
        // Cancelled: it stays.
        W<QPushButton>("btChoosePdfFolder")->click();
        QCOMPARE(Core().Settings().PdfFolder, other);

        // The environment's folder wins, and cannot be changed here.
        ::setenv("QUERNEL_PDF_DIR", "/srv/pdf", 1);
        Core().UpdateSettings([](AppSettings&) {});
        window_->Refresh();
        QCOMPARE(W<QLineEdit>("edPdfFolder")->text(), QString("/srv/pdf"));
        QVERIFY(!W<QPushButton>("btChoosePdfFolder")->isEnabled());
        QVERIFY(W<QLineEdit>("edPdfFolder")->toolTip().contains("QUERNEL_PDF_DIR"));
    }

    void thePrinterStateShowsOnTheTabAndInTheTrayTip() {
        Choose("Quernel PDF");
        QVERIFY(W<QLabel>("labPrinterState")->text().contains("PDF"));
        TQueueState jammed;
        jammed.stopped = true;
        jammed.reasons = {"media-jam-error", "toner-low-report"};
        states_.states["Laser"] = jammed;
        Choose("Laser");
        Run(1);
        QCOMPARE(W<QLabel>("labPrinterState")->text(),
                 QString("zatrzymana; zacięty papier; mało tonera"));
        QCOMPARE(window_->TrayIcon().toolTip(),
                 QString("Brackwood Quernel\nLaser: zatrzymana; zacięty papier; mało tonera"));
        // An error while nothing waits is shown, not announced.
        QVERIFY(notices_.empty());

        states_.states["Laser"] = TQueueState{};
        Run(6);
        QCOMPARE(W<QLabel>("labPrinterState")->text(), QString("gotowa"));
        QCOMPARE(window_->TrayIcon().toolTip(), QString("Brackwood Quernel\nLaser: gotowa"));

        // Into an error while a job waits in the queue: announced once.
        TQueueState empty;
        empty.reasons = {"media-empty-error"};
        empty.queuedJobs = 2;
        states_.states["Laser"] = empty;
        Run(12);
        QCOMPARE(notices_.size(), std::size_t(1));
        QCOMPARE(notices_[0].kind, TNoticeKind::kError);
        QCOMPARE(notices_[0].title, std::string("Drukarka \"Laser\""));
        QVERIFY(notices_[0].text.starts_with("brak papieru; zadań w kolejce: 2"));
    }

    void notificationsSayWhatHappenedOnlyWithATray() {
        parts_->printer.failOn = "EndDoc";
        PrintOne("Nieudany\r\n\x0c");
        QCOMPARE(notices_.size(), std::size_t(1));
        QCOMPARE(notices_[0].title, std::string("Wydruk nieudany"));
        QVERIFY(notices_[0].text.find("Nieudane") != std::string::npos);
        parts_->printer.failOn.clear();

        // Each printout only when asked for.
        PrintOne("Zwykły\r\n\x0c");
        QCOMPARE(notices_.size(), std::size_t(1));
        Core().UpdateSettings([](AppSettings& s) { s.NotifyEachPrintout = true; });
        PrintOne("Dwie\r\n\x0cstrony\r\n\x0c");
        QCOMPARE(notices_.size(), std::size_t(2));
        QCOMPARE(notices_[1].title, std::string("Wydrukowano"));
        QVERIFY(notices_[1].text.find("2 strony") != std::string::npos);

        tray_ = false;
        PrintOne("Bez tacki\r\n\x0c");
        QCOMPARE(notices_.size(), std::size_t(2));
    }

    void theQueueSettingsOfferWhatTheQueueHasAndNoFile() {
        const std::vector<TQueueSetting> settings = {
            {"media",
             "Papier:",
             {{"iso_a4_210x297mm", "A4"}, {"iso_a5_148x210mm", "A5"}},
             "iso_a4_210x297mm"},
            {"sides",
             "Druk dwustronny:",
             {{"one-sided", "Jednostronnie"},
              {"two-sided-long-edge", "Dwustronnie, wzdłuż dłuższej krawędzi"}},
             "one-sided"},
        };
        TdlgQueueSettings dialog("Laser", settings, {{"sides", "two-sided-long-edge"}});
        QCOMPARE(dialog.windowTitle(), QString("Ustawienia drukarki: Laser"));
        QVERIFY(dialog.minimumWidth() >
                dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()));
        auto* paper = Find<QComboBox>(dialog, "cbQueuePaper");
        auto* duplex = Find<QComboBox>(dialog, "cbQueueDuplex");
        QCOMPARE(paper->currentText(), QString("A4"));
        QCOMPARE(duplex->currentText(), QString::fromUtf8("Dwustronnie, wzdłuż dłuższej krawędzi"));
        QVERIFY(dialog.findChild<QComboBox*>("cbQueueTray") == nullptr);
        // Nothing about a file.
        for (const auto* w : dialog.findChildren<QWidget*>()) {
            const QString text = w->property("text").toString();
            QVERIFY2(!text.contains("plik", Qt::CaseInsensitive) &&
                         !text.contains("file", Qt::CaseInsensitive),
                     qPrintable(text));
        }
        paper->setCurrentIndex(1);
        duplex->setCurrentIndex(0);
        QCOMPARE(dialog.Chosen(), (TQueueOptions{{"media", "iso_a5_148x210mm"}}));

        // "&Ustawienia" of "Quernel PDF" chooses its folder.
        QtPrinterPlatform platform{QtPrinterPlatform::BuiltInOnly{}};
        int folderChoices = 0;
        TPrinterSettings::TActions actions;
        actions.readSettings = [](const std::string&) { return std::vector<TQueueSetting>(); };
        actions.choosePdfFolder = [&] { ++folderChoices; };
        TPrinterSettings setup(platform, std::move(actions));
        QVERIFY(!setup.Execute(platform));
        QCOMPARE(folderChoices, 1);
    }
};

int main(int argc, char** argv) {
    return quernel::test::RunGuiTest<PrinterTabTest>(argc, argv);
}

#include "PrinterTabTest.moc"
