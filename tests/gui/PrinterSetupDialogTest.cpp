#include <QAbstractButton>
#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QtTest>

#include "platform/QtPrinterPlatform.h"
#include "tests/support/TempDir.h"
#include "ui/QtPrinterSetupDialog.h"
#include "ui/QtTranslations.h"

using namespace quernel;

// The printer set-up dialog, driven offscreen: Qt's print dialog is answered by a timer.
class PrinterSetupDialogTest : public QObject {
    Q_OBJECT

  private:
    // Answers the next modal print dialog: `edit` may change its printer, then it is accepted
    // or rejected.
    static void Answer(bool accept, std::function<void(QPrintDialog&)> edit = {}) {
        QTimer::singleShot(0, [=] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            if (edit) edit(*dialog);
            if (accept) {
                dialog->accept();
            } else {
                dialog->reject();
            }
        });
    }

  private slots:
    void initTestCase() {
        ::setenv("QUERNEL_PDF_DIR", (dir_ / "pdf").c_str(), 1);
        ::setenv("CUPS_SERVER", (dir_ / "no-cups.sock").c_str(), 1);
    }

    void cancelledDialogChangesNothing() {
        QtPrinterPlatform platform;
        QtPrinterSetupDialog setup(platform);
        const TDeviceCaps before = platform.DeviceCaps();
        Answer(false,
               [](QPrintDialog& d) { d.printer()->setPageOrientation(QPageLayout::Landscape); });
        QVERIFY(!setup.Execute(platform));
        QCOMPARE(platform.DeviceCaps().pageWidth, before.pageWidth);
    }

    void confirmedLayoutReachesThePrinter() {
        QtPrinterPlatform platform;
        QtPrinterSetupDialog setup(platform);
        platform.SetPrinterIndex(-1);
        QCOMPARE(platform.Printers().at(platform.PrinterIndex()),
                 std::string(QtPrinterPlatform::kPdfPrinterName));
        const TDeviceCaps portrait = platform.DeviceCaps();
        QVERIFY(portrait.pageHeight > portrait.pageWidth);
        Answer(true,
               [](QPrintDialog& d) { d.printer()->setPageOrientation(QPageLayout::Landscape); });
        QVERIFY(setup.Execute(platform));
        QCOMPARE(platform.Printers().at(platform.PrinterIndex()),
                 std::string(QtPrinterPlatform::kPdfPrinterName));
        const TDeviceCaps landscape = platform.DeviceCaps();
        QCOMPARE(landscape.pageWidth, portrait.pageHeight);
        QCOMPARE(landscape.pageHeight, portrait.pageWidth);
    }

    // Qt's own dialogs speak the window's language: the print dialog's buttons are Polish.
    void qtDialogsArePolish() {
        QVERIFY(InstallQtTranslations(*QCoreApplication::instance()));
        QtPrinterPlatform platform;
        QtPrinterSetupDialog setup(platform);
        QStringList buttons;
        Answer(false, [&](QPrintDialog& d) {
            for (const QAbstractButton* b : d.findChildren<QAbstractButton*>()) {
                buttons << b->text();
            }
        });
        QVERIFY(!setup.Execute(platform));
        QVERIFY2(buttons.contains("&Anuluj") || buttons.contains("Anuluj"),
                 qPrintable(buttons.join('|')));
    }

  private:
    quernel::test::TempDir dir_;
};

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    PrinterSetupDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PrinterSetupDialogTest.moc"
