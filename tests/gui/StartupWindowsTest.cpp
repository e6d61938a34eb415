#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "ui/QN_CanClose.h"
#include "ui/QN_Wait.h"
#include "ui/Splash.h"

using namespace quernel;

// The windows of the start and of the close question, offscreen.
class StartupWindowsTest : public QObject {
    Q_OBJECT

  private:
    static QStringList Texts(const QWidget& w) {
        QStringList texts;
        for (const auto* label : w.findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) texts << label->text();
        }
        for (const auto* button : w.findChildren<QPushButton*>()) texts << button->text();
        return texts;
    }
    // Answers the close question once it is shown.
    static void Answer(std::function<void(TdlCanClose&)> act) {
        QTimer::singleShot(0, [act] {
            auto* dialog = dynamic_cast<TdlCanClose*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            act(*dialog);
        });
    }

  private slots:
    void splashIsABorderlessTranslucentPictureOnTop() {
        TSplashForm splash;
        QCOMPARE(splash.size(), QSize(300, 300));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(qRound(splash.windowOpacity() * 255), 220);
        const QImage picture = TSplashForm::Picture();
        QCOMPARE(picture.size(), QSize(300, 300));
        // A picture, not a plain area: the paper stands out from the background.
        QVERIFY(picture.pixelColor(150, 130) != picture.pixelColor(5, 5));
        QImage shown(300, 300, QImage::Format_ARGB32);
        splash.render(&shown);
        QVERIFY(shown.pixelColor(150, 130) != shown.pixelColor(5, 5));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY((splash.geometry().center() - screen.center()).manhattanLength() <= 2);
    }

    void waitWindowStopsTheStart() {
        TWaitPrinterForm wait;
        QCOMPARE(wait.windowTitle(), QString("Szukanie drukarki ..."));
        QCOMPARE(Texts(wait), (QStringList{"Proszę czekać ...", "Trwa szukanie drukarki ....",
                                           "Przerwij uruchamianie Quernela"}));
        QVERIFY(wait.isVisible());
        QVERIFY(!wait.StopRequested());
        wait.Refresh();
        QVERIFY(!wait.StopRequested());
        wait.findChild<QPushButton*>("btStop")->click();
        QVERIFY(wait.StopRequested());
    }

    void closeQuestionAnswers() {
        TdlCanClose question;
        QCOMPARE(question.windowTitle(), QString("Quernel - Koniec?"));
        QCOMPARE(Texts(question), (QStringList{"Czy zakończyć działanie aplikacji Quernel?",
                                               "&Schowaj", "&Zamknij", "&Anuluj"}));
        // A question carries a question's icon.
        QVERIFY(!question.findChild<QLabel*>("imgQuestion")->pixmap().isNull());
        QVERIFY(question.findChild<QPushButton*>("btSchowaj")->isDefault());

        Answer([](TdlCanClose& d) { QTest::keyClick(&d, Qt::Key_Return); });
        QCOMPARE(question.Ask(), TCloseAnswer::kHide);
        Answer([](TdlCanClose& d) { QTest::keyClick(&d, Qt::Key_Escape); });
        QCOMPARE(question.Ask(), TCloseAnswer::kCancel);
        Answer([](TdlCanClose& d) { d.findChild<QPushButton*>("btZamknij")->click(); });
        QCOMPARE(question.Ask(), TCloseAnswer::kClose);
        Answer([](TdlCanClose& d) { d.findChild<QPushButton*>("btAnuluj")->click(); });
        QCOMPARE(question.Ask(), TCloseAnswer::kCancel);
        Answer([](TdlCanClose& d) { d.findChild<QPushButton*>("btSchowaj")->click(); });
        QCOMPARE(question.Ask(), TCloseAnswer::kHide);
    }
};

QTEST_MAIN(StartupWindowsTest)
#include "StartupWindowsTest.moc"
