#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "fakes/FakeMainWindow.h"
#include "fakes/RecordingErrorReport.h"
#include "host/CloseControl.h"
#include "platform/ProgramStart.h"
#include "support/ProgramEnvironment.h"
#include "support/ProgramProcess.h"
#include "support/TempDir.h"
#include "ui/QN_CanClose.h"
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
