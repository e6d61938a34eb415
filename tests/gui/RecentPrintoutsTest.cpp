#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include "fakes/FakePrintoutFolder.h"
#include "gui/GuiSupport.h"
#include "monitor/KeptPrintouts.h"
#include "platform/PagePreview.h"
#include "support/CoreFixture.h"
#include "ui/RecentPrintouts.h"

using namespace quernel;
using namespace quernel::test;

namespace {

// The questions of "Ostatnie wydruki" answered from a script.
class ScriptedRecentDialogs final : public IRecentPrintoutsDialogs {
  public:
    std::optional<TPrintChoice> ChooseReprint(const std::vector<std::string>& printers,
                                              const std::string& current, int copies) override {
        shownPrinters = printers;
        shownCurrent = current;
        shownCopies = copies;
        return reprint;
    }
    std::optional<std::filesystem::path> ChoosePdfFile(
        const std::filesystem::path& proposed) override {
        proposedPdf = proposed;
        return pdfFile;
    }
    bool ConfirmDelete(const std::string&) override { return confirmDelete; }
    void ShowFile(const std::filesystem::path& file) override { shownFiles.push_back(file); }
    void ShowError(const std::string& text) override { errors.push_back(text); }

    std::optional<TPrintChoice> reprint;
    std::optional<std::filesystem::path> pdfFile;
    bool confirmDelete = true;
    std::vector<std::string> shownPrinters;
    std::string shownCurrent;
    int shownCopies = 0;
    std::filesystem::path proposedPdf;
    std::vector<std::filesystem::path> shownFiles;
    std::vector<std::string> errors;
};

// Whether the image has ink: a pixel well darker than white.
int InkPixels(const QImage& image) {
    int ink = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) ink += qGray(image.pixel(x, y)) < 128;
    }
    return ink;
}

}  // namespace

// "Ostatnie wydruki" over the core with fakes: the loop prints, the window shows what it kept.
class RecentPrintoutsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CoreParts> parts_;
    std::unique_ptr<FakePrintoutFolder> folder_;
    std::unique_ptr<ScriptedWindowDialogs> dialogs_;
    ScriptedRecentDialogs recentDialogs_;
    std::unique_ptr<TqnMain> window_;

    TQuernelCore& Core() { return *parts_->core; }
    TfrmRecentPrintouts* Recent() { return window_->RecentPrintouts(); }
    template <typename T>
    T* R(const char* name) {
        return Find<T>(*Recent(), name);
    }
    const std::vector<TPrintoutRecord>& Records() { return Core().Printouts().Store().Records(); }
    // The loop prints what was appended to the default file.
    void PrintOne(const std::string& text) {
        AppendFile(parts_->defaultFile, ToBytes(text));
        SetFileTime(parts_->defaultFile, parts_->clock.Now());
        // Until the loop has handled it (kept it), for at most 20 seconds.
        const std::size_t before = Records().size();
        for (int i = 0; i < 40 && Records().size() == before; ++i) {
            parts_->clock.Advance(std::chrono::milliseconds(500));
            Core().Monitoring().Tick(parts_->timer);
        }
    }
    void SelectRow(int row) {
        R<QTableWidget>("lvPrintouts")->selectRow(row);
        QApplication::processEvents();
    }
    // "Strona N z M" once the count is known.
    QString PageLabel() {
        QApplication::processEvents();
        return R<QLabel>("labPage")->text();
    }

  private slots:
    void init() {
        parts_ = std::make_unique<CoreParts>();
        folder_ = std::make_unique<FakePrintoutFolder>();
        parts_->keys.Key(KeyRoot::kCurrentUser) = {
            {"AutoRun", 0}, {"WaitForPageMax", 0}, {"Printer", "Quernel PDF"}};
        parts_->services.printoutFolder = folder_.get();
        parts_->core = std::make_unique<TQuernelCore>(parts_->services);
        dialogs_ = std::make_unique<ScriptedWindowDialogs>(parts_->dialogs);
        recentDialogs_ = ScriptedRecentDialogs();
        TMainWindowHooks hooks;
        hooks.dialogs = dialogs_.get();
        hooks.recentDialogs = &recentDialogs_;
        hooks.trayAvailable = [] { return false; };
        window_ = std::make_unique<TqnMain>(Core(), hooks);
        StartWindow(Core(), parts_->history, *window_);
        // The loop's first look at the default file, before anything is appended to it.
        for (int i = 0; i < 2; ++i) {
            parts_->clock.Advance(std::chrono::milliseconds(500));
            Core().Monitoring().Tick(parts_->timer);
        }
    }
    void cleanup() {
        window_.reset();
        dialogs_.reset();
        parts_.reset();
        folder_.reset();
    }

    void listsThePrintoutsNewestFirstWithTheFailedMarked() {
        PrintOne("Pierwszy\r\n\x0c");
        parts_->printer.failOn = "EndDoc";
        PrintOne("Drugi\r\n\x0c");
        parts_->printer.failOn.clear();
        QVERIFY(Recent() == nullptr);
        Find<QPushButton>(*window_, "btRecentPrintouts")->click();
        QVERIFY(Recent() != nullptr && Recent()->isVisible());
        QCOMPARE(Recent()->windowTitle(), QString("Ostatnie wydruki"));
        // Resizable, unlike the main window.
        QVERIFY(Recent()->minimumSize() != Recent()->maximumSize());
        auto* list = R<QTableWidget>("lvPrintouts");
        QCOMPARE(list->rowCount(), 2);
        QStringList headers;
        for (int c = 0; c < list->columnCount(); ++c) {
            headers << list->horizontalHeaderItem(c)->text();
        }
        QCOMPARE(headers, QStringList({"Czas", "Plik", "Tytuł", "Drukarka", "Strony", "Kopie",
                                       "Wynik", "Błąd"}));
        QCOMPARE(list->item(0, 6)->text(), QString("Nieudany"));
        QCOMPARE(list->item(0, 6)->foreground().color(), QColor(192, 0, 0));
        QVERIFY(!list->item(0, 7)->text().isEmpty());
        QCOMPARE(list->item(1, 6)->text(), QString("Wydrukowany"));
        QCOMPARE(list->item(1, 1)->text(), QString::fromStdString(parts_->defaultFile));
        QCOMPARE(list->item(1, 3)->text(), QString("Quernel PDF"));
        QCOMPARE(list->item(1, 4)->text(), QString("1"));
        // The newest is selected and shown.
        QCOMPARE(Recent()->SelectedId(), Records()[0].id);
        QVERIFY(InkPixels(Recent()->PageImage()) > 0);
        // The failed one's kept file can be shown.
        QVERIFY(R<QPushButton>("btShowFile")->isEnabled());
        R<QPushButton>("btShowFile")->click();
        QCOMPARE(recentDialogs_.shownFiles.size(), std::size_t(1));
        QCOMPARE(recentDialogs_.shownFiles[0].string(), Records()[0].outputFile);
        // A new printout appears at the top while the window is open.
        PrintOne("Trzeci\r\n\x0c");
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(list->item(0, 6)->text(), QString("Wydrukowany"));
    }

    void showsThePagesAsTheyPrintWithNavigationAndZoom() {
        PrintOne("Strona pierwsza\r\n\x0cStrona druga\r\n\x0c\r\n\r\nStrona trzecia\r\n\x0c");
        window_->ShowRecentPrintouts();
        QCOMPARE(PageLabel(), QString("Strona 1 z 3"));
        QVERIFY(!R<QPushButton>("btPrevPage")->isEnabled());
        const QImage first = Recent()->PageImage();
        QVERIFY(InkPixels(first) > 0);
        R<QPushButton>("btNextPage")->click();
        QCOMPARE(PageLabel(), QString("Strona 2 z 3"));
        QVERIFY(Recent()->PageImage() != first);
        R<QPushButton>("btLastPage")->click();
        QCOMPARE(Recent()->Page(), 3);
        QVERIFY(!R<QPushButton>("btNextPage")->isEnabled());
        // The third page's text stands two lines lower than the first page's.
        R<QPushButton>("btFirstPage")->click();
        QCOMPARE(Recent()->Page(), 1);
        QCOMPARE(Recent()->PageImage(), first);

        // Fit to width fills the preview's width; a zoom of its own draws it larger.
        QVERIFY(R<QCheckBox>("cbFitWidth")->isChecked());
        auto* zoom = R<QComboBox>("cbZoom");
        const int fitWidth = Recent()->PageImage().width();
        // The fitted zoom is what the combo shows, listed or not.
        QCOMPARE(zoom->currentIndex() >= 0 ? zoom->currentText() : zoom->placeholderText(),
                 QString::number(Recent()->Zoom()) + " %");
        const int index = zoom->findData(200);
        zoom->setCurrentIndex(index);
        emit zoom->activated(index);
        QVERIFY(!R<QCheckBox>("cbFitWidth")->isChecked());
        QCOMPARE(Recent()->Zoom(), 200);
        const int at200 = Recent()->PageImage().width();
        const double sheetInches = (4960 + 200) / 600.0;
        QVERIFY(std::abs(at200 - sheetInches * Recent()->logicalDpiX() * 2) < 3);
        R<QCheckBox>("cbFitWidth")->setChecked(true);
        QCOMPARE(Recent()->PageImage().width(), fitWidth);
        // Resizing the window refits the page.
        Recent()->resize(Recent()->width() + 200, Recent()->height());
        QApplication::processEvents();
        QVERIFY(Recent()->PageImage().width() > fitWidth);
    }

    void thePreviewChoosesBetweenThePrintTimeAndTheCurrentSettings() {
        PrintOne("Ustawienia\r\n\x0c");
        window_->ShowRecentPrintouts();
        const QImage printed = Recent()->PageImage();
        Core().UpdateSettings([](AppSettings& s) { s.MgLeft = 60; });
        R<QComboBox>("cbPreviewSettings")->setCurrentIndex(0);
        QCOMPARE(Recent()->PageImage(), printed);
        R<QComboBox>("cbPreviewSettings")->setCurrentIndex(1);
        QVERIFY(Recent()->PageImage() != printed);
        // Margins that leave no page are said, not drawn.
        Core().UpdateSettings([](AppSettings& s) { s.MgLeft = 500; });
        R<QComboBox>("cbPreviewSettings")->setCurrentIndex(0);
        R<QComboBox>("cbPreviewSettings")->setCurrentIndex(1);
        QVERIFY(!R<QLabel>("labPreviewNote")->text().isEmpty());
    }

    void printsAgainOnAChosenPrinterAndDeletes() {
        PrintOne("Jeszcze raz\r\n\x0c");
        window_->ShowRecentPrintouts();
        recentDialogs_.reprint = TPrintChoice{"Laser", 3, false};
        R<QPushButton>("btReprint")->click();
        QCOMPARE(recentDialogs_.shownCurrent, std::string("Quernel PDF"));
        QCOMPARE(recentDialogs_.shownCopies, 1);
        QCOMPARE(recentDialogs_.shownPrinters, (std::vector<std::string>{"Laser", "Quernel PDF"}));
        const auto& last = parts_->printer.documents.back();
        QCOMPARE(last.printer, std::string("Laser"));
        QCOMPARE(last.copies, 3);
        QCOMPARE(R<QTableWidget>("lvPrintouts")->item(0, 3)->text(), QString("Laser"));
        // Cancelled: nothing prints.
        const std::size_t documents = parts_->printer.documents.size();
        recentDialogs_.reprint.reset();
        R<QPushButton>("btReprint")->click();
        QCOMPARE(parts_->printer.documents.size(), documents);

        recentDialogs_.confirmDelete = false;
        R<QPushButton>("btDeletePrintout")->click();
        QCOMPARE(R<QTableWidget>("lvPrintouts")->rowCount(), 1);
        recentDialogs_.confirmDelete = true;
        R<QPushButton>("btDeletePrintout")->click();
        QCOMPARE(R<QTableWidget>("lvPrintouts")->rowCount(), 0);
        QVERIFY(folder_->files.empty());
        QVERIFY(!R<QPushButton>("btReprint")->isEnabled());
        QVERIFY(Recent()->PageImage().isNull());
    }

    void aPrintoutWaitingForTheDecisionIsPrintedOrDiscarded() {
        Core().UpdateSettings([](AppSettings& s) { s.PreviewBeforePrint = true; });
        PrintOne("Decyzja\r\n\x0c");
        QVERIFY(parts_->printer.documents.empty());
        // It opens on its own, with "Drukuj" and "Odrzuć" instead of "Drukuj ponownie".
        QVERIFY(Recent() != nullptr && Recent()->isVisible());
        QCOMPARE(Recent()->SelectedId(), Records()[0].id);
        QVERIFY(R<QPushButton>("btPrintWaiting")->isVisible());
        QVERIFY(R<QPushButton>("btDiscard")->isVisible());
        QVERIFY(!R<QPushButton>("btReprint")->isVisible());
        QCOMPARE(R<QPushButton>("btPrintWaiting")->text(), QString("&Drukuj"));
        QCOMPARE(R<QPushButton>("btDiscard")->text(), QString("&Odrzuć"));
        QCOMPARE(R<QTableWidget>("lvPrintouts")->item(0, 6)->text(), QString("Czeka na decyzję"));
        QVERIFY(InkPixels(Recent()->PageImage()) > 0);
        R<QPushButton>("btPrintWaiting")->click();
        QCOMPARE(parts_->printer.PageTextsOfAll(), std::vector<std::string>{"Decyzja"});
        QCOMPARE(Records()[0].result, TPrintoutResult::kPrinted);
        QVERIFY(!R<QPushButton>("btPrintWaiting")->isVisible());
        QVERIFY(R<QPushButton>("btReprint")->isVisible());

        PrintOne("Niepotrzebny\r\n\x0c");
        QCOMPARE(Recent()->SelectedId(), Records()[0].id);
        R<QPushButton>("btDiscard")->click();
        QCOMPARE(Records()[0].result, TPrintoutResult::kDiscarded);
        QCOMPARE(parts_->printer.documents.size(), std::size_t(1));
    }

    void theTrayMenuAndTheSettingsReachTheWindow() {
        auto* item = Find<QAction>(*window_, "miRecentPrintouts");
        QCOMPARE(item->text(), QString("&Ostatnie wydruki"));
        item->trigger();
        QVERIFY(Recent() != nullptr && Recent()->isVisible());
        QCOMPARE(R<QTableWidget>("lvPrintouts")->rowCount(), 0);
        // The limits are settings of the "&Ustawienia" tab, the option one of "&Pliki".
        Find<QSpinBox>(*window_, "edKeepPrintouts")->setValue(1);
        QCOMPARE(Core().Settings().KeepPrintouts, 1);
        Find<QSpinBox>(*window_, "edKeepPrintoutsMB")->setValue(7);
        QCOMPARE(Core().Printouts().Store().Limits().megabytes, 7);
        Find<QCheckBox>(*window_, "cbPreviewBeforePrint")->setChecked(true);
        QVERIFY(Core().Settings().PreviewBeforePrint);
        QCOMPARE(Find<QCheckBox>(*window_, "cbPreviewBeforePrint")->text(),
                 QString("Podgląd przed wydrukiem"));
        PrintOne("a\x0c");
        Core().Printouts().Discard(Records()[0].id);
        PrintOne("b\x0c");
        Core().Printouts().Discard(Records()[0].id);
        QCOMPARE(R<QTableWidget>("lvPrintouts")->rowCount(), 1);
    }
};

int main(int argc, char** argv) {
    return quernel::test::RunGuiTest<RecentPrintoutsTest>(argc, argv);
}

#include "RecentPrintoutsTest.moc"
