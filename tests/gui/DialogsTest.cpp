#include <QApplication>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "gui/GuiSupport.h"
#include "host/Environment.h"
#include "host/VersionInfo.h"
#include "ui/ErrorBox.h"
#include "ui/QN_About.h"
#include "ui/QN_AddFolder.h"
#include "ui/QN_ChoosePrinter.h"
#include "ui/QN_FromPage.h"

using namespace quernel;
using namespace quernel::test;

// The window's dialogs, the help window and the error report, offscreen. A modal dialog is
// answered by a timer that finds it as the active modal widget.
class DialogsTest : public QObject {
    Q_OBJECT

  private:
    template <typename D>
    static void Answer(std::function<void(D&)> act) {
        QTimer::singleShot(0, [act] {
            auto* dialog = dynamic_cast<D*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            act(*dialog);
        });
    }

  private slots:
    void errorsArrivingDuringABoxWaitBehindIt() {
        std::vector<QString> shown;
        int open = 0;
        int deepest = 0;
        TErrorBox* self = nullptr;
        TErrorBox box([&](QWidget*, const QString& text) {
            ++open;
            deepest = std::max(deepest, open);
            shown.push_back(text);
            // While the first box is open, the failing tick repeats, and another error comes.
            if (shown.size() == 1) {
                for (int i = 0; i < 500; ++i) self->ShowError("Drukarka wyłączona");
                for (int i = 0; i < 500; ++i) self->ShowError("błąd " + std::to_string(i));
            }
            --open;
        });
        self = &box;
        box.ShowError("pierwszy");
        QCOMPARE(deepest, 1);
        // The repeated error once, then the others up to the limit of waiting errors.
        QCOMPARE(shown.size(), 1 + TErrorBox::kMaxWaiting);
        QCOMPARE(shown[0], QString("pierwszy"));
        QCOMPARE(shown[1], QString::fromUtf8("Drukarka wyłączona"));
        QCOMPARE(shown[2], QString::fromUtf8("błąd 0"));
        QCOMPARE(box.Waiting(), std::size_t{0});
        // Later errors get their boxes again.
        box.ShowError("Drukarka wyłączona");
        QCOMPARE(shown.back(), QString::fromUtf8("Drukarka wyłączona"));
    }

    void errorBoxIsAMessageBoxWithTheText() {
        TErrorBox box;
        QString text, title;
        Answer<QMessageBox>([&](QMessageBox& m) {
            text = m.text();
            title = m.windowTitle();
            m.accept();
        });
        box.ShowError("Nie można otworzyć pliku");
        QCOMPARE(text, QString::fromUtf8("Nie można otworzyć pliku"));
        QCOMPARE(title, QString("Brackwood Quernel"));
    }

    void errorBoxShowsMarkupInAFileNameAsItIs() {
        TErrorBox box;
        Qt::TextFormat format = Qt::AutoText;
        QString text;
        Answer<QMessageBox>([&](QMessageBox& m) {
            format = m.textFormat();
            text = m.text();
            m.accept();
        });
        const std::string message =
            "Cannot open file \"/dos/<b>x</b><img src=\"/etc/a.png\">.prn\"";
        box.ShowError(message);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(text, QString::fromStdString(message));
    }

    void addFolderGivesTheFolderAndTheMask() {
        std::filesystem::create_directories(dir_ / "dos/wydruki");
        const QString folder = QString::fromStdString((dir_ / "dos/wydruki").string());
        TfrmAddFolder dialog(nullptr, folder);
        QCOMPARE(dialog.windowTitle(), QString("Wybierz katalog do monitorowania"));
        QCOMPARE(dialog.Folder(), folder);
        QCOMPARE(dialog.Mask(), QString());
        Find<QLineEdit>(dialog, "edMaskaPlikow")->setText(" *.TXT ");
        QCOMPARE(dialog.Mask(), QString("*.TXT"));
        // Through the window's dialogs, confirmed and cancelled.
        TQtWindowDialogs dialogs(nullptr);
        Answer<TfrmAddFolder>([&](TfrmAddFolder& d) {
            d.SelectFolder(folder);
            Find<QLineEdit>(d, "edMaskaPlikow")->setText("*.prn");
            Find<QPushButton>(d, "btOk")->click();
        });
        const auto chosen = dialogs.ChooseFolder();
        QVERIFY(chosen.has_value());
        QCOMPARE(chosen->folder, folder.toStdString());
        QCOMPARE(chosen->mask, std::string("*.prn"));
        Answer<TfrmAddFolder>([](TfrmAddFolder& d) { Find<QPushButton>(d, "btCancel")->click(); });
        QVERIFY(!dialogs.ChooseFolder().has_value());
    }

    void choosePrinterOffersTheMainPrinterFirst() {
        const std::vector<std::string> choices{kMainPrinterChoice, "Laser", "Igłowa"};
        TfrmChoosePrinter dialog(choices);
        QCOMPARE(dialog.windowTitle(), QString("Wybierz Drukarke"));
        auto* list = Find<QListWidget>(dialog, "lbDrukarki");
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QString::fromUtf8("<główna Quernel>"));
        QCOMPARE(list->item(2)->text(), QString::fromUtf8("Igłowa"));
        QCOMPARE(dialog.Chosen(), 0);
        TQtWindowDialogs dialogs(nullptr);
        Answer<TfrmChoosePrinter>([](TfrmChoosePrinter& d) {
            Find<QListWidget>(d, "lbDrukarki")->setCurrentRow(2);
            Find<QPushButton>(d, "btOk")->click();
        });
        QCOMPARE(dialogs.ChoosePrinter(choices), std::optional<int>(2));
        Answer<TfrmChoosePrinter>([](TfrmChoosePrinter& d) { d.reject(); });
        QCOMPARE(dialogs.ChoosePrinter(choices), std::optional<int>());
    }

    void printFromPageKeepsItsPageBetweenUses() {
        TQtWindowDialogs dialogs(nullptr);
        auto* spin = Find<QSpinBox>(dialogs.FromPageDialog(), "edFromPage");
        QCOMPARE(dialogs.FromPageDialog().windowTitle(), QString("Drukuj od Strony"));
        QCOMPARE(spin->minimum(), 1);
        QCOMPARE(spin->maximum(), 1000);
        Answer<TdlgPrintFromPage>([](TdlgPrintFromPage& d) {
            QCOMPARE(d.Page(), 1);
            Find<QSpinBox>(d, "edFromPage")->setValue(5000);
            Find<QPushButton>(d, "btDrukuj")->click();
        });
        QCOMPARE(dialogs.ChooseStartPage(1), std::optional<int>(1000));
        Answer<TdlgPrintFromPage>([](TdlgPrintFromPage& d) {
            QCOMPARE(d.Page(), 3);
            Find<QPushButton>(d, "btAnuluj")->click();
        });
        QCOMPARE(dialogs.ChooseStartPage(3), std::optional<int>());
    }

    void fileDialogsAcceptExistingFilesAndPictures() {
        const auto picture = TQtWindowDialogs::NewPictureDialog(nullptr);
        QCOMPARE(picture->fileMode(), QFileDialog::ExistingFile);
        const QStringList filters = picture->nameFilters();
        // First every format the program loads, then each alone, then every file.
        QVERIFY(filters.first().startsWith(QString::fromUtf8("Obrazy (")));
        for (const QByteArray& format : QImageReader::supportedImageFormats()) {
            QVERIFY(filters.first().contains("*." + QString::fromLatin1(format)));
        }
        QVERIFY(filters.contains(QString("Obrazy PNG (*.png)")));
        QCOMPARE(filters.last(), QString("Wszystkie pliki (*)"));
        const auto file = TQtWindowDialogs::NewFileDialog(nullptr);
        QCOMPARE(file->fileMode(), QFileDialog::ExistingFile);

        // "&Drukuj plik" starts in the folder of the selected monitored file.
        const std::string path = (dir_ / "wydruk.prn").string();
        WriteFile(path, "x");
        std::string selected = dir_.path().string();
        TQtWindowDialogs dialogs(nullptr, [&] { return selected; });
        Answer<QFileDialog>([&](QFileDialog& d) {
            QCOMPARE(d.directory().absolutePath(), QString::fromStdString(dir_.path().string()));
            QVERIFY(d.minimumWidth() > d.fontMetrics().horizontalAdvance(d.windowTitle()));
            d.selectFile(QString::fromStdString(path));
            static_cast<QDialog&>(d).accept();
        });
        QCOMPARE(dialogs.ChooseFile(), std::optional<std::string>(path));
        // Without a selection (or with a folder that is gone): ~/QUERNEL.
        selected = (dir_ / "gone").string();
        QCOMPARE(dialogs.StartFolder(), QuernelFolder().string());
    }

    void helpWindowShowsTextVersionAndOpensTheVendorPage() {
        std::vector<std::vector<std::string>> started;
        TfrmHelp help("https://www.brackwood.example/", nullptr,
                      [&](const std::vector<std::string>& argv) { started.push_back(argv); });
        QCOMPARE(help.windowTitle(), QString("Brackwood Quernel - Pomoc"));
        QVERIFY(!help.isModal());
        help.ShowHelp();
        QCOMPARE(help.size(), QSize(427, 338));
        const QString text = Find<QPlainTextEdit>(help, "memHelp")->toPlainText();
        for (const char* word : {"DOS", "„Pliki”", "„Drukarka”", "„Znaki”", "„Kody”"}) {
            QVERIFY2(text.contains(QString::fromUtf8(word)), word);
        }
        QCOMPARE(Find<QLabel>(help, "labVersion")->text(), QString::fromStdString(FileVersion()));
        auto* vendor = Find<QPushButton>(help, "btVendor");
        QCOMPARE(vendor->text(), QString("www.brackwood.example"));
        vendor->click();
        QCOMPARE(started.size(), std::size_t{1});
        QCOMPARE(started[0],
                 (std::vector<std::string>{
                     "xdg-open", "https://www.brackwood.example/index.php?from=Quernel"}));
        Find<QPushButton>(help, "btOk")->click();
        QVERIFY(!help.isVisible());
        // Without a vendor's site there is no button.
        TfrmHelp plain("");
        plain.ShowHelp();
        QVERIFY(!Find<QPushButton>(plain, "btVendor")->isVisible());
    }

  private:
    TempDir dir_;
};

int main(int argc, char** argv) {
    return quernel::test::RunGuiTest<DialogsTest>(argc, argv);
}

#include "DialogsTest.moc"
