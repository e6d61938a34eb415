#include <stdlib.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>
#include <atomic>

#include "host/ProgramDir.h"
#include "host/Text.h"
#include "host/VersionInfo.h"
#include "platform/IniKeyStore.h"
#include "tests/fakes/FakeClock.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/QtTestEnvironment.h"
#include "update/BWUpdate.h"
#include "update/OnlineWatcher.h"
#include "update/UpdateCheck.h"

using namespace quernel;
using namespace quernel::test;
using namespace std::chrono_literals;

namespace {

class SwitchableOnline final : public IOnlineState {
  public:
    bool Online() const override { return online; }
    std::atomic<bool> online{true};
};

constexpr int kFiveDays = 432000000;
constexpr int kOneHour = 3600000;

}  // namespace

// The new-version window against a real HTTP server on 127.0.0.1, with the update values in
// INI files under private roots. Timer ticks are called directly instead of waited for.
class UpdateDialogTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TfrmBWUpdate> Dialog(QString address = {}) {
        return std::make_unique<TfrmBWUpdate>(
            Setup((address.isNull() ? server_->Address() : address).toStdString()));
    }
    std::unique_ptr<TfrmBWUpdate> DialogWithLimit(std::chrono::milliseconds limit) {
        UpdateSetup setup = Setup(server_->Address().toStdString());
        setup.exchangeLimit = limit;
        return std::make_unique<TfrmBWUpdate>(setup);
    }

    UpdateSetup Setup(const std::string& address, const std::string& command = kBrowserCommand) {
        return UpdateSetup{store_,
                           clock_,
                           UpdateIdentity{"QUERNEL", "1.2.3.4", "", 0},
                           address,
                           online_,
                           command,
                           [this](const std::string& line) { started_.push_back(line); }};
    }

    // A tick that is due for a check; waits until the check's thread has ended.
    static void DueTick(TfrmBWUpdate& dialog) {
        QSignalSpy finished(&dialog, &TfrmBWUpdate::CheckFinished);
        dialog.UpdateTimerTimer();
        QVERIFY(finished.wait(10000));
    }

    std::string Stored(const std::string& name) {
        auto key = store_.Open(KeyRoot::kLocalMachine, kUpdateKey, KeyAccess::kRead);
        return key ? key->ReadString(name).value_or("") : "";
    }

    template <typename T>
    static T* Child(QWidget& dialog, const char* name) {
        T* child = dialog.findChild<T*>(QString::fromLatin1(name));
        if (child == nullptr) qFatal("no control %s", name);
        return child;
    }

    std::unique_ptr<TempDir> dir_;
    IniKeyStore store_{"", ""};
    FakeClock clock_;
    std::shared_ptr<SwitchableOnline> online_;
    std::unique_ptr<LocalHttpServer> server_;
    std::vector<std::string> started_;

  private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        store_ = IniKeyStore(*dir_ / "user", *dir_ / "machine");
        clock_.Set(FakeClock::FromLocal(2024, 3, 9, 17, 5, 1));  // day 45360
        online_ = std::make_shared<SwitchableOnline>();
        server_ = std::make_unique<LocalHttpServer>();
        server_->answer.setCookies = {"UNIQ=abc123; Path=/", "WERSJA=1.2.3.4; Path=/"};
        started_.clear();
    }

    void firstCheckAfterTheSecondTickThenAfter14Days() {
        auto dialog = Dialog();
        QVERIFY(dialog->isHidden());
        QVERIFY(dialog->UpdateTimer().isActive());
        QCOMPARE(dialog->UpdateTimer().interval(), 10000);

        dialog->UpdateTimerTimer();  // the first tick only ends the wait
        QVERIFY(!dialog->CheckRunning());
        QCOMPARE(dialog->UpdateTimer().interval(), 10000);
        QVERIFY(dialog->UpdateTimer().isActive());

        DueTick(*dialog);
        QCOMPARE(dialog->UpdateTimer().interval(), kFiveDays);
        QVERIFY(dialog->UpdateTimer().isActive());
        QCOMPARE(server_->requests.size(), size_t(1));
        const auto& first = server_->requests[0];
        QCOMPARE(first.method, QByteArray("GET"));
        QCOMPARE(first.target, QByteArray("/checkver.php?ver=1.2.3.4&prog=QUERNEL&reg=&nr=0"));
        QCOMPARE(first.headers.value("cookie"), QByteArray("UNIQ=NOTSET"));
        QCOMPARE(first.headers.value("host"),
                 QByteArray("127.0.0.1:") + server_->Address().section(':', 2).toLatin1());
        QCOMPARE(Stored("Numer kontrolny"), std::string("abc123"));
        QCOMPARE(Stored("Date.QUERNEL"), std::string("45360"));
        QVERIFY(dialog->isHidden());  // the server named our own version
        // The values are machine-wide, whatever the user's settings say.
        QVERIFY(std::filesystem::exists(*dir_ / "machine/Brackwood/Update.conf"));
        QVERIFY(!std::filesystem::exists(*dir_ / "user/Brackwood/Update.conf"));

        clock_.Advance(24h * 13);
        DueTick(*dialog);  // 13 days later: not yet
        QCOMPARE(server_->requests.size(), size_t(1));

        clock_.Advance(24h * 2);
        server_->answer.setCookies = {"UNIQ=", "WERSJA=1.2.3.4"};  // an empty one replaces nothing
        DueTick(*dialog);
        QCOMPARE(server_->requests.size(), size_t(2));
        QCOMPARE(server_->requests[1].headers.value("cookie"), QByteArray("UNIQ=abc123"));
        QCOMPARE(Stored("Numer kontrolny"), std::string("abc123"));
        QCOMPARE(Stored("Date.QUERNEL"), std::string("45375"));
    }

    void theTimerDrivesTheTicks() {
        auto dialog = Dialog();
        QSignalSpy finished(dialog.get(), &TfrmBWUpdate::CheckFinished);
        dialog->UpdateTimer().start(1);  // instead of the first 10 s
        QTRY_COMPARE_WITH_TIMEOUT(dialog->UpdateTimer().interval(), 10000, 5000);
        QVERIFY(server_->requests.empty());
        dialog->UpdateTimer().start(1);  // instead of the next 10 s
        QTRY_COMPARE_WITH_TIMEOUT(dialog->UpdateTimer().interval(), kFiveDays, 5000);
        QVERIFY(finished.count() > 0 || finished.wait(10000));
        QCOMPARE(server_->requests.size(), size_t(1));
    }

    void anotherVersionShowsBothVersionsAndTheDescription() {
        server_->answer.setCookies = {"WERSJA=2.0.0.0"};
        server_->answer.body = "Pierwsza linia\nDruga linia: źdźbło";
        auto dialog = Dialog();
        auto* cur = Child<QLabel>(*dialog, "lbVersionCur");
        auto* fresh = Child<QLabel>(*dialog, "lbVersionNew");
        QCOMPARE(cur->text(), QString("Wersja 0.0.0.0"));
        QCOMPARE(fresh->text(), QString("Wersja 0.0.0.0"));

        dialog->UpdateTimerTimer();
        DueTick(*dialog);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 5000);
        QCOMPARE(cur->text(), QString("Wersja obecna 1.2.3.4"));
        QCOMPARE(fresh->text(), QString("Wersja nowa 2.0.0.0"));
        QVERIFY(dialog->isActiveWindow());
        const QTextDocument* memo = Child<QPlainTextEdit>(*dialog, "memVersionDesc")->document();
        QCOMPARE(memo->blockCount(), 2);
        QCOMPARE(memo->firstBlock().text(), QString("Pierwsza linia"));
        QCOMPARE(memo->lastBlock().text(), QString("Druga linia: źdźbło"));

        Child<QPushButton>(*dialog, "bOK")->click();
        QVERIFY(dialog->isHidden());
        QVERIFY(started_.empty());
    }

    void tickedBoxKeepsTheDialogHiddenAcrossStarts() {
        server_->answer.setCookies = {"WERSJA=2.0.0.0"};
        {
            auto dialog = Dialog();
            auto* box = Child<QCheckBox>(*dialog, "cbNoMore");
            QVERIFY(!box->isChecked());
            box->click();
            QCOMPARE(Stored("NoShow.QUERNEL"), std::string("NO"));
        }
        auto dialog = Dialog();
        auto* box = Child<QCheckBox>(*dialog, "cbNoMore");
        QVERIFY(box->isChecked());
        dialog->UpdateTimerTimer();
        DueTick(*dialog);
        // The result arrived (the labels show it) but the window stays hidden.
        QCOMPARE(Child<QLabel>(*dialog, "lbVersionNew")->text(), QString("Wersja nowa 2.0.0.0"));
        QVERIFY(dialog->isHidden());

        box->click();
        QCOMPARE(Stored("NoShow.QUERNEL"), std::string("SHOW"));
    }

    void offlineTriesAgainInAnHour() {
        online_->online = false;
        auto dialog = Dialog();
        dialog->UpdateTimerTimer();
        dialog->UpdateTimerTimer();
        QVERIFY(!dialog->CheckRunning());
        QCOMPARE(dialog->UpdateTimer().interval(), kOneHour);
        QVERIFY(dialog->UpdateTimer().isActive());
        QTest::qWait(50);
        QVERIFY(server_->requests.empty());

        online_->online = true;
        DueTick(*dialog);
        QCOMPARE(dialog->UpdateTimer().interval(), kFiveDays);
        QCOMPARE(server_->requests.size(), size_t(1));
    }

    void failedRequestsStoreNothing() {
        server_->answer.status = 500;
        server_->answer.setCookies = {"UNIQ=abc123", "WERSJA=2.0.0.0"};
        auto dialog = Dialog();
        dialog->UpdateTimerTimer();
        DueTick(*dialog);
        QCOMPARE(server_->requests.size(), size_t(1));
        QCOMPARE(Stored("Date.QUERNEL"), std::string());
        QCOMPARE(Stored("Numer kontrolny"), std::string());
        QVERIFY(dialog->isHidden());

        // A redirection is not followed: only the named server is asked.
        server_->answer.status = 302;
        DueTick(*dialog);
        QCOMPARE(server_->requests.size(), size_t(2));
        QCOMPARE(Stored("Date.QUERNEL"), std::string());

        server_->answer.status = 200;  // the next due tick asks again
        DueTick(*dialog);
        QCOMPARE(server_->requests.size(), size_t(3));
        QCOMPARE(Stored("Date.QUERNEL"), std::string("45360"));

        auto refused = Dialog(LocalHttpServer::RefusingAddress());
        clock_.Advance(24h * 20);
        refused->UpdateTimerTimer();
        DueTick(*refused);
        QCOMPARE(Stored("Date.QUERNEL"), std::string("45360"));
        QVERIFY(refused->isHidden());
    }

    // A reply is read up to 64 KiB: a longer one (announced or not) fails the check, which
    // then stores nothing, shows nothing, and ends without waiting for the rest.
    void aReplyOverTheCapFailsTheCheck() {
        constexpr qint64 kCap = QtUpdateServer::kMaxReplyBytes;
        server_->answer.setCookies = {"UNIQ=abc123", "WERSJA=2.0.0.0"};
        server_->answer.body = QByteArray(kCap + 1, 'x');
        auto dialog = Dialog();
        dialog->UpdateTimerTimer();
        DueTick(*dialog);
        QCOMPARE(Stored("Date.QUERNEL"), std::string());
        QVERIFY(dialog->isHidden());

        server_->answer.body.clear();
        server_->answer.endless = true;
        QElapsedTimer elapsed;
        elapsed.start();
        DueTick(*dialog);
        QVERIFY(elapsed.elapsed() < 10000);  // the limit is a minute: the cap ended it
        QCOMPARE(server_->requests.size(), size_t(2));
        QCOMPARE(Stored("Date.QUERNEL"), std::string());
        // The connection is gone: the server's endless body no longer leaves it.
        QTest::qWait(500);
        const qint64 sent = server_->sentBodyBytes;
        QTest::qWait(500);
        QCOMPARE(server_->sentBodyBytes, sent);

        server_->answer.endless = false;
        server_->answer.body = QByteArray(kCap, 'x');  // at the cap: taken
        DueTick(*dialog);
        QCOMPARE(Stored("Date.QUERNEL"), std::string("45360"));
        QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 5000);
        QCOMPARE(Child<QPlainTextEdit>(*dialog, "memVersionDesc")->toPlainText().size(), kCap);
    }

    // A server that sends a byte now and then never stalls the transfer; the whole exchange
    // still ends at its limit, and the next due check asks again.
    void aTricklingServerIsLeftAtTheLimitAndTheNextCheckAsksAgain() {
        server_->answer.trickleMs = 100;
        auto dialog = DialogWithLimit(1s);
        dialog->UpdateTimerTimer();
        QElapsedTimer elapsed;
        elapsed.start();
        DueTick(*dialog);
        QVERIFY(elapsed.elapsed() >= 900);
        QVERIFY(server_->sentBodyBytes > 0);
        QCOMPARE(Stored("Date.QUERNEL"), std::string());
        QVERIFY(!dialog->CheckRunning());

        server_->answer.trickleMs = 0;
        DueTick(*dialog);
        QCOMPARE(server_->requests.size(), size_t(2));
        QCOMPARE(Stored("Date.QUERNEL"), std::string("45360"));
    }

    // What the server sends is shown as text: no pictures, links or colours of its own.
    void theServersTextsAreShownAsPlainText() {
        auto dialog = Dialog();
        const QString markup = QStringLiteral(
            "<img src=\"http://127.0.0.1:1/x.png\"><a href=\"http://e/\"><font "
            "color=red>9.9</font></a>");
        dialog->ShowResult(UpdateResult{"<b>1.2</b>", markup.toStdString(), "<b>opis</b>"});
        auto* cur = Child<QLabel>(*dialog, "lbVersionCur");
        auto* fresh = Child<QLabel>(*dialog, "lbVersionNew");
        QCOMPARE(fresh->textFormat(), Qt::PlainText);
        QCOMPARE(cur->textFormat(), Qt::PlainText);
        QCOMPARE(fresh->text(), QStringLiteral("Wersja nowa ") + markup);
        QVERIFY(fresh->sizeHint().width() >= fresh->fontMetrics().horizontalAdvance(markup));
        QCOMPARE(Child<QPlainTextEdit>(*dialog, "memVersionDesc")->toPlainText(),
                 QStringLiteral("<b>opis</b>"));
    }

    void noServerAddressSendsNothing() {
        auto dialog = Dialog(QStringLiteral(""));
        dialog->UpdateTimerTimer();
        dialog->UpdateTimerTimer();
        QVERIFY(!dialog->CheckRunning());
        QCOMPARE(dialog->UpdateTimer().interval(), kFiveDays);  // the timer keeps its pace
        QVERIFY(dialog->UpdateTimer().isActive());
        QTest::qWait(50);
        QVERIFY(server_->requests.empty());
        QCOMPARE(Stored("Date.QUERNEL"), std::string());
    }

    void downloadButtonOpensTheHomePageInTheBrowser() {
        auto dialog = Dialog();
        auto* download = Child<QPushButton>(*dialog, "bBrackwood");
        QVERIFY(download->isDefault());
        dialog->ShowResult(UpdateResult{"1.2.3.4", "2.0.0.0", "opis"});
        QVERIFY(dialog->isVisible());
        download->click();
        QCOMPARE(started_,
                 std::vector<std::string>{"xdg-open " + server_->Address().toStdString() + "/"});
        QVERIFY(dialog->isHidden());
    }

    void downloadButtonFollowsTheBrowserCommand() {
        const std::string home = server_->Address().toStdString() + "/";
        struct Case {
            std::string command;
            std::vector<std::string> expected;
            bool hides;
        };
        const Case cases[] = {
            {"browser --url=%1 --new-window", {"browser --url=" + home + " --new-window"}, true},
            {"browser", {"browser " + home}, true},  // appended, not quoted
            {"", {}, false},                         // no command: nothing, the dialog stays
        };
        for (const Case& c : cases) {
            started_.clear();
            TfrmBWUpdate dialog(Setup(server_->Address().toStdString(), c.command));
            dialog.ShowResult(UpdateResult{"1.2.3.4", "2.0.0.0", ""});
            Child<QPushButton>(dialog, "bBrackwood")->click();
            QCOMPARE(started_, c.expected);
            QCOMPARE(dialog.isHidden(), c.hides);
        }
    }

    void closingTheWindowLeavesTheProgramRunning() {
        auto dialog = Dialog();
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        // Only a running application ends when its last window closes.
        QTimer::singleShot(0, dialog.get(), [&] {
            dialog->ShowResult(UpdateResult{"1.2.3.4", "2.0.0.0", ""});
            dialog->close();
        });
        QTimer::singleShot(300, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
        QVERIFY(dialog->isHidden());
        QCOMPARE(lastClosed.count(), 0);
    }

    void windowFitsItsTexts() {
        auto dialog = Dialog();
        QCOMPARE(dialog->objectName(), QString("frmBWUpdate"));
        QCOMPARE(dialog->windowTitle(), QString("Nowa wersja"));
        dialog->ShowResult(UpdateResult{"1.2.3.4", "12.34.56.78", "a\nb"});
        QVERIFY(dialog->width() >= 344 && dialog->height() >= 257);
        for (const char* name : {"lbVersionCur", "lbVersionNew", "cbNoMore", "bBrackwood", "bOK"}) {
            auto* control = Child<QWidget>(*dialog, name);
            QVERIFY2(control->width() >= control->sizeHint().width(), name);
            QVERIFY2(dialog->rect().contains(control->geometry()), name);
        }
        QVERIFY(Child<QLabel>(*dialog, "lbVersionCur")->font().bold());
        QVERIFY(Child<QPlainTextEdit>(*dialog, "memVersionDesc")->isReadOnly());
    }

    void closingDuringACheckEndsAtOnce() {
        server_->answer.silent = true;
        auto dialog = Dialog();
        dialog->UpdateTimerTimer();
        dialog->UpdateTimerTimer();
        QTRY_COMPARE_WITH_TIMEOUT(server_->requests.size(), size_t(1), 5000);
        QElapsedTimer elapsed;
        elapsed.start();
        dialog.reset();
        QVERIFY(elapsed.elapsed() < 5000);
        QCOMPARE(Stored("Date.QUERNEL"), std::string());
    }

    void startUpDialogSendsThisProgramsNameAndVersion() {
        if (!NetworkOnlineWatcher::HasNetworkAddress()) QSKIP("this computer is offline");
        ::setenv("QUERNEL_UPDATE_URL", server_->Address().toUtf8().constData(), 1);
        TfrmBWUpdate dialog(store_, clock_);
        ::unsetenv("QUERNEL_UPDATE_URL");
        dialog.UpdateTimerTimer();
        DueTick(dialog);
        QCOMPARE(server_->requests.size(), size_t(1));
        const std::string expected = "/checkver.php?ver=" + FileVersion() +
                                     "&prog=" + ToUpperAscii(ExecutableName()) + "&reg=&nr=0";
        QCOMPARE(server_->requests[0].target.toStdString(), expected);
    }

    void watcherSeesTheNetworkAsTheTestDoes() {
        NetworkOnlineWatcher watcher;
        QCOMPARE(watcher.Online(), NetworkOnlineWatcher::HasNetworkAddress());
    }
};

int main(int argc, char** argv) {
    TempDir root;
    UsePrivateQtEnvironment(root);
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "QUERNEL_UPDATE_URL"}) {
        ::unsetenv(name);
    }
    QApplication app(argc, argv);
    UpdateDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "UpdateDialogTest.moc"
