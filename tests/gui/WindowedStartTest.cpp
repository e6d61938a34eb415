#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <functional>
#include <thread>

#include "fakes/FakeMainWindow.h"
#include "fakes/RecordingErrorReport.h"
#include "host/CloseControl.h"
#include "platform/ProgramStart.h"
#include "support/ProgramEnvironment.h"
#include "support/ProgramProcess.h"
#include "support/TempDir.h"
#include "ui/QN_CanClose.h"
#include "ui/QN_Start.h"
#include "ui/RecentPrintouts.h"
#include "ui/Splash.h"
#include "ui/WindowedApp.h"

namespace quernel::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The windowed start in this process, with a fake main window, offscreen, over private
// settings, home and runtime folder.
class WindowedStartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env = ProgramEnvironment(dir.path());
        env["CUPS_SERVER"] = (dir / "no-cups.sock").string();
        env["QT_QPA_PLATFORM"] = "offscreen";
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        WriteFile(dir / "config/Brackwood/Quernel.conf", std::string("[General]\nAutoRun=0\n"));
    }

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "quernel");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        TProgramStart start(static_cast<int>(args.size()), argv.data());
        TWindowFactories factories;
        factories.errorReport = [] { return std::make_unique<RecordingErrorReport>(); };
        factories.mainWindow = [this](TMainWindowContext& context) {
            close = &context.close;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (dynamic_cast<TSplashForm*>(w) != nullptr && w->isVisible()) splashShown = true;
            }
            auto fake = std::make_unique<FakeMainWindow>(log);
            IHistoryView* history = fake.get();
            return TMainWindowParts{std::move(fake), history};
        };
        return RunWindowed(start, factories);
    }

    // A close request, with the close question answered by the named button.
    void CloseLater(const char* button) {
        QTimer::singleShot(50, [this, button] {
            QTimer::singleShot(50, [button] {
                auto* dialog = dynamic_cast<TdlCanClose*>(QApplication::activeModalWidget());
                ASSERT_NE(dialog, nullptr);
                dialog->findChild<QPushButton*>(button)->click();
            });
            close->CloseRequested();
        });
    }

    static bool SplashExists() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (dynamic_cast<TSplashForm*>(w) != nullptr) return true;
        }
        return false;
    }

    std::string Stored() const { return ReadText(dir / "config/Brackwood/Quernel.conf"); }

    TempDir dir;
    std::map<std::string, std::string> env;
    FakeWindowLog log;
    TCloseControl* close = nullptr;
    bool splashShown = false;
};

TEST_F(WindowedStartTest, TheWindowShowsAfterTheSplashAndClosingSaves) {
    bool splashGone = false;
    log.onCall = [&](const std::string& call) {
        if (call != "ShowAtStart") return;
        splashGone = !SplashExists();
        CloseLater("btSchowaj");
        QTimer::singleShot(300, [&] { CloseLater("btAnuluj"); });
        QTimer::singleShot(600, [&] { CloseLater("btZamknij"); });
    };
    EXPECT_EQ(Run({}), 0);
    EXPECT_TRUE(splashShown);
    EXPECT_TRUE(splashGone);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"ShowAtStart", "Minimise"}));
    ASSERT_GE(log.history.size(), 3u);
    EXPECT_EQ(log.history[0], "Ustawienia domyślne");
    EXPECT_EQ(log.history[1], "Odczyt ustawień");
    EXPECT_EQ(log.history.back(), "Zapis ustawień");
    EXPECT_NE(std::find(log.history.begin(), log.history.end(), "Monitorowanie włączone"),
              log.history.end());
    EXPECT_NE(Stored().find("CharsPerLine=80"), std::string::npos);
}

TEST_F(WindowedStartTest, HideStartsInTheTrayAtTheFirstTick) {
    log.onCall = [&](const std::string& call) {
        if (call == "Minimise") CloseLater("btZamknij");
    };
    EXPECT_EQ(Run({"/HIDE", "/nosplash"}), 0);
    EXPECT_FALSE(splashShown);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"Minimise"}));
}

TEST_F(WindowedStartTest, ASecondStartBringsTheWindowBackAndEndsSilently) {
    ProgramProcess second;
    log.onCall = [&](const std::string& call) {
        if (call == "ShowAtStart") {
            // Ends the test should the request never come.
            QTimer::singleShot(20s, [this] {
                close->SessionEnding();
                close->CloseRequested();
            });
            second.Start(fs::path(QUERNEL_BIN_DIR) / "quernel", {"/nosplash"}, env,
                         dir / "second.txt");
        } else if (call == "Restore") {
            CloseLater("btZamknij");
        }
    };
    EXPECT_EQ(Run({"/nosplash"}), 0);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"ShowAtStart", "Restore"}));
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(second.Output(), "");
}

// The real main window, hidden at the start as autostart starts it: whatever way it first
// appears, it shows the loaded settings and the monitoring state.
class RealWindow final : public IMainWindow {
  public:
    RealWindow(TMainWindowContext& context, FakeWindowLog& log) : log_(log) {
        TMainWindowHooks hooks;
        hooks.close = &context.close;
        window_ = std::make_unique<TqnMain>(context.core, hooks);
    }
    void ShowAtStart() override {
        window_->ShowAtStart();
        Record("ShowAtStart");
    }
    void Restore() override {
        window_->Restore();
        Record("Restore");
    }
    void Minimise() override {
        window_->Minimise();
        Record("Minimise");
    }
    void SetEnding() override { window_->SetEnding(); }
    TqnMain& Window() { return *window_; }

  private:
    void Record(const std::string& call) {
        log_.calls.push_back(call);
        if (log_.onCall) log_.onCall(call);
    }
    FakeWindowLog& log_;
    std::unique_ptr<TqnMain> window_;
};

TEST_F(WindowedStartTest, AWindowStartedHiddenShowsTheLoadedSettingsWhenRestored) {
    fs::create_directories(dir / "program");
    fs::copy(fs::path(QUERNEL_SHIPPED_DATA_DIR) / "CharMap", dir / "program/CharMap");
    fs::copy(fs::path(QUERNEL_SHIPPED_DATA_DIR) / "Seq", dir / "program/Seq");
    WriteFile(dir / "config/Brackwood/Quernel.conf",
              std::string("[General]\nAutoRun=1\nCopies=3\nCharMap=LatinII\n"
                          "Sequences=EPSON+HP\nCharsPerLine=96\n"));
    ProgramProcess second;
    RealWindow* real = nullptr;
    struct Shown {
        bool active = false, autostart = false, trayActive = false;
        int copies = 0, chars = 0;
        std::string map, table;
    } shown;
    bool visible = false;
    bool trayActiveWhileHidden = false;
    log.onCall = [&](const std::string& call) {
        if (call == "Minimise") {
            // The tray menu is there to be used while the window is hidden.
            trayActiveWhileHidden = real->Window().findChild<QAction*>("miActive")->isChecked();
            // The first tick hid the window; a second start asks for it, as a user does.
            QTimer::singleShot(20s, [this] {
                close->SessionEnding();
                close->CloseRequested();
            });
            second.Start(fs::path(QUERNEL_BIN_DIR) / "quernel", {"/nosplash"}, env,
                         dir / "second.txt");
        } else if (call == "Restore") {
            TqnMain& w = real->Window();
            visible = w.isVisible();
            shown.active = w.findChild<QCheckBox*>("cbActive")->isChecked();
            shown.autostart = w.findChild<QCheckBox*>("cbAutostart")->isChecked();
            shown.trayActive = w.findChild<QAction*>("miActive")->isChecked();
            shown.copies = w.findChild<QSpinBox*>("edCopies")->value();
            shown.chars = w.findChild<QSpinBox*>("edCharsPerLine")->value();
            shown.map = w.findChild<QComboBox*>("cbPrzemapowanie")->currentText().toStdString();
            shown.table = w.findChild<QComboBox*>("cbSequences")->currentText().toStdString();
            CloseLater("btZamknij");
        }
    };
    TWindowFactories factories;
    factories.errorReport = [] { return std::make_unique<RecordingErrorReport>(); };
    factories.mainWindow = [&](TMainWindowContext& context) {
        close = &context.close;
        auto window = std::make_unique<RealWindow>(context, log);
        real = window.get();
        IHistoryView* history = &window->Window().HistoryView();
        return TMainWindowParts{std::move(window), history};
    };
    std::vector<std::string> args{"quernel", "/hide", "/nosplash"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    TProgramStart start(static_cast<int>(args.size()), argv.data());
    EXPECT_EQ(RunWindowed(start, factories), 0);
    EXPECT_EQ(second.Wait(), 0);
    ASSERT_NE(std::find(log.calls.begin(), log.calls.end(), "Restore"), log.calls.end());
    EXPECT_TRUE(trayActiveWhileHidden);
    EXPECT_TRUE(visible);
    EXPECT_TRUE(shown.active);
    EXPECT_TRUE(shown.trayActive);
    EXPECT_TRUE(shown.autostart);
    EXPECT_EQ(shown.copies, 3);
    EXPECT_EQ(shown.chars, 96);
    EXPECT_EQ(shown.map, "LatinII");
    EXPECT_EQ(shown.table, "EPSON+HP");
}

// A printout waiting for the decision (preview before print) is not lost when the program is
// killed: the next start offers it again, and it prints once the user says so.
TEST_F(WindowedStartTest, AWaitingPreviewSurvivesAKillAndIsOfferedAgain) {
    WriteFile(dir / "config/Brackwood/Quernel.conf",
              std::string("[General]\nAutoRun=0\nPreviewBeforePrint=1\nWaitBeforePrint=1\n"
                          "Printer=Quernel PDF\n"));
    const fs::path printouts = dir / "data/quernel/printouts";
    const fs::path printFile = dir / "home/QUERNEL/PRN2FILE.TXT";
    // What the file holds at the first look counts as printed: it is empty then, and the
    // printout is written once the program has had that look (and written its state).
    fs::create_directories(printFile.parent_path());
    WriteFile(printFile, std::string());
    {
        ProgramProcess first;
        first.Start(fs::path(QUERNEL_BIN_DIR) / "quernel", {"/nosplash"}, env, dir / "first.txt");
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        const auto waitFor = [&](const std::function<bool()>& done) {
            while (!done() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(100ms);
            }
            return done();
        };
        ASSERT_TRUE(waitFor([&] { return fs::exists(dir / "state/quernel/printed.txt"); }))
            << ReadText(dir / "first.txt");
        std::this_thread::sleep_for(1100ms);  // a later modification time than the first look's
        WriteFile(printFile, std::string("Czeka na decyzje\r\n\x0c"));
        const auto waitingRecord = [&] {
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(printouts, ec)) {
                if (entry.path().extension() == ".rec" &&
                    ReadText(entry.path()).find("result=waiting") != std::string::npos) {
                    return true;
                }
            }
            return false;
        };
        ASSERT_TRUE(waitFor(waitingRecord)) << ReadText(dir / "first.txt");
        ::kill(first.Pid(), SIGKILL);
        EXPECT_EQ(first.Wait(), 128 + SIGKILL);
    }
    const auto pdfs = [&] {
        int count = 0;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir / "pdf", ec)) {
            count += entry.path().extension() == ".pdf";
        }
        return count;
    };
    EXPECT_EQ(pdfs(), 0);

    RealWindow* real = nullptr;
    bool offered = false;
    int printed = 0;
    log.onCall = [&](const std::string& call) {
        if (call != "ShowAtStart") return;
        QTimer::singleShot(200, [&] {
            TfrmRecentPrintouts* recent = real->Window().RecentPrintouts();
            offered = recent != nullptr && recent->isVisible() &&
                      recent->findChild<QPushButton*>("btPrintWaiting")->isVisible();
            if (offered) recent->findChild<QPushButton*>("btPrintWaiting")->click();
            printed = pdfs();
            CloseLater("btZamknij");
        });
    };
    TWindowFactories factories;
    factories.errorReport = [] { return std::make_unique<RecordingErrorReport>(); };
    factories.mainWindow = [&](TMainWindowContext& context) {
        close = &context.close;
        auto window = std::make_unique<RealWindow>(context, log);
        real = window.get();
        IHistoryView* history = &window->Window().HistoryView();
        return TMainWindowParts{std::move(window), history};
    };
    std::vector<std::string> args{"quernel", "/nosplash"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    TProgramStart start(static_cast<int>(args.size()), argv.data());
    EXPECT_EQ(RunWindowed(start, factories), 0);
    EXPECT_TRUE(offered);
    EXPECT_EQ(printed, 1);
    // Printed once: the file's content counted as handled before the kill.
    EXPECT_EQ(pdfs(), 1);
}

// Last: the stop signal stays noted for the rest of the process.
TEST_F(WindowedStartTest, SigtermSavesAndEndsWithoutTheQuestion) {
    log.onCall = [&](const std::string& call) {
        if (call == "ShowAtStart") ::raise(SIGTERM);
    };
    EXPECT_EQ(Run({"/nosplash"}), 0);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"ShowAtStart"}));
    EXPECT_NE(Stored().find("CharsPerLine=80"), std::string::npos);
}

}  // namespace
}  // namespace quernel::test
