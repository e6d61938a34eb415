#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/FakeClock.h"
#include "fakes/FakeProcesses.h"
#include "fakes/FakeSleeper.h"
#include "fakes/RecordingHistoryView.h"
#include "host/Autostart.h"
#include "host/BW_RunParams.h"
#include "host/BW_log.h"
#include "host/CloseControl.h"
#include "host/Processes.h"
#include "host/SpoolerWait.h"
#include "host/VersionInfo.h"
#include "platform/XdgAutostartFolder.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(RunParamsTest, SwitchesAreWholeArgumentsInAnyLetterCase) {
    const TRunParams params({"/CLOSE", "/Hide", "/nosplashx", "x/win98"});
    EXPECT_TRUE(params.ParamSwitch(kSwitchClose));
    EXPECT_TRUE(params.ParamSwitch(kSwitchHide));
    EXPECT_FALSE(params.ParamSwitch(kSwitchNoSplash));
    EXPECT_FALSE(params.ParamSwitch(kSwitchWin98));
    const char* argv[] = {"/close", "/nosplash"};  // the program's own name is no switch
    EXPECT_FALSE(TRunParams(2, argv).ParamSwitch(kSwitchClose));
    EXPECT_TRUE(TRunParams(2, argv).ParamSwitch(kSwitchNoSplash));
}

TEST(VersionInfoTest, FourNumbers) {
    const std::string version = FileVersion();
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3) << version;
    EXPECT_EQ(version.find_first_not_of("0123456789."), std::string::npos) << version;
}

TEST(ProcessMatchTest, LastPathComponentWithoutRegardToCase) {
    EXPECT_TRUE(ProcessMatches({1, "/usr/bin/quernel"}, "QUERNEL"));
    EXPECT_TRUE(ProcessMatches({1, "C:\\WINDOWS\\system32\\ntvdm.exe"}, "NTVDM.EXE"));
    EXPECT_TRUE(ProcessMatches({1, "C:NTVDM.EXE"}, "NTVDM.EXE"));
    EXPECT_FALSE(ProcessMatches({1, "/usr/bin/quernel-render"}, "QUERNEL"));
    EXPECT_FALSE(ProcessMatches({1, "/opt/quernel/bin"}, "QUERNEL"));
    EXPECT_EQ(ProgramFileName("/usr/local/bin/Quernel"), "QUERNEL");
}

TEST(CloseRunningCopyTest, ACopyThatEndsWhenAskedIsNotKilled) {
    for (int polls : {0, 5, 39}) {
        FakeProcessHandle copy;
        FakeSleeper sleeper;
        copy.endsAfterPolls = polls;
        CloseRunningCopy(copy, sleeper);
        EXPECT_EQ(copy.requests, 1);
        EXPECT_EQ(copy.forced, 0) << polls;
        EXPECT_EQ(sleeper.sleeps.size(), static_cast<std::size_t>(polls));
    }
}

TEST(CloseRunningCopyTest, ACopyStillRunningAfterTwoSecondsIsKilled) {
    FakeProcessHandle copy;
    FakeSleeper sleeper;
    copy.endsAfterPolls = -1;
    CloseRunningCopy(copy, sleeper);
    EXPECT_EQ(copy.requests, 1);
    EXPECT_EQ(copy.forced, 1);
    std::chrono::milliseconds waited{0};
    for (auto s : sleeper.sleeps) waited += s;
    EXPECT_EQ(waited, 2000ms);
}

TEST(DosMachinesTest, EveryKnownEmulatorIsLoweredWhileTheOptionIsOn) {
    FakeProcesses processes;
    processes.processes = {{2, "C:\\WINNT\\SYSTEM32\\ntvdm.exe"},
                           {3, "/usr/bin/dosbox"},
                           {4, "/usr/bin/DOSBox-X"},
                           {5, "/app/bin/dosbox-staging"},
                           {6, "/usr/libexec/dosemu/dosemu.bin"},
                           {7, "/usr/bin/dosbox.sh"},
                           {8, "/usr/bin/sleep"},
                           {9, "/usr/bin/dosemu2"},
                           {10, "/usr/libexec/dosemu2/dosemu2.bin"}};
    LowerDosMachines(false, processes);
    EXPECT_EQ(processes.lists, 0);
    EXPECT_TRUE(processes.lowered.empty());
    LowerDosMachines(true, processes);
    EXPECT_EQ(processes.lowered, (std::vector<int>{2, 3, 4, 5, 6, 9, 10}));
}

// A wait window that counts its refreshes; the test decides when the user presses stop.
class CountingWaitWindow final : public IWaitWindow {
  public:
    explicit CountingWaitWindow(int& refreshes, int stopAt, int& destroyed)
        : refreshes_(refreshes), stopAt_(stopAt), destroyed_(destroyed) {}
    ~CountingWaitWindow() override { ++destroyed_; }
    void Refresh() override { ++refreshes_; }
    bool StopRequested() const override { return stopAt_ > 0 && refreshes_ >= stopAt_; }

  private:
    int& refreshes_;
    int stopAt_;
    int& destroyed_;
};

class SpoolerWaitTest : public ::testing::Test {
  protected:
    bool Wait(int versionCode, bool win98 = false) {
        return WaitForSpooler(versionCode, win98, processes, sleeper, [this] {
            ++created;
            return std::make_unique<CountingWaitWindow>(refreshes, stopAt, destroyed);
        });
    }
    FakeProcesses processes;
    FakeSleeper sleeper;
    int created = 0, refreshes = 0, destroyed = 0, stopAt = 0;
};

TEST_F(SpoolerWaitTest, OnlyOldWindowsNtWaitsAndThisSystemDoesNot) {
    EXPECT_EQ(WindowsVersionCode(), -1);
    for (int code : {-1, 0, 1, 2, 3}) EXPECT_TRUE(Wait(code));
    EXPECT_TRUE(Wait(5, true));  // "/win98"
    EXPECT_EQ(processes.lists, 0);
    EXPECT_EQ(created, 0);
}

TEST_F(SpoolerWaitTest, WaitsInStepsOf200MsWithTheWindowFromTheFirstStep) {
    processes.processes = {{7, "C:\\WINDOWS\\System32\\spoolsv.exe"}};
    processes.ended = {7};  // the spooler starts during the third step
    struct StartSpooler final : IWaitWindow {
        StartSpooler(FakeProcesses& p, int& refreshes) : p_(p), refreshes_(refreshes) {}
        void Refresh() override {
            if (++refreshes_ == 3) p_.ended.clear();
        }
        bool StopRequested() const override { return false; }
        FakeProcesses& p_;
        int& refreshes_;
    };
    const bool go = WaitForSpooler(6, false, processes, sleeper, [this] {
        ++created;
        return std::make_unique<StartSpooler>(processes, refreshes);
    });
    EXPECT_TRUE(go);
    EXPECT_EQ(created, 1);
    EXPECT_EQ(sleeper.sleeps, (std::vector<std::chrono::milliseconds>(3, 200ms)));
}

TEST_F(SpoolerWaitTest, TheStopButtonEndsTheStart) {
    stopAt = 4;
    EXPECT_FALSE(Wait(4));
    EXPECT_EQ(sleeper.sleeps.size(), 4u);
    EXPECT_EQ(created, 1);
    EXPECT_EQ(destroyed, 1);
}

class CloseControlTest : public ::testing::Test {
  protected:
    TCloseControl control{{
        .ask =
            [this] {
                calls.push_back("ask");
                return answer;
            },
        .hide = [this] { calls.push_back("hide"); },
        .save = [this] { calls.push_back("save"); },
        .quit = [this] { calls.push_back("quit"); },
    }};
    TCloseAnswer answer = TCloseAnswer::kCancel;
    std::vector<std::string> calls;
};

TEST_F(CloseControlTest, TheQuestionDecides) {
    answer = TCloseAnswer::kCancel;
    EXPECT_FALSE(control.CloseRequested());
    answer = TCloseAnswer::kHide;
    EXPECT_FALSE(control.CloseRequested());
    answer = TCloseAnswer::kClose;
    EXPECT_TRUE(control.CloseRequested());
    EXPECT_EQ(calls, (std::vector<std::string>{"ask", "ask", "hide", "ask", "save", "quit"}));
}

TEST_F(CloseControlTest, TheEndOfTheSessionSavesAndClosesWithoutTheQuestion) {
    control.SessionEnding();
    EXPECT_TRUE(control.Ending());
    EXPECT_EQ(calls, (std::vector<std::string>{"save"}));
    EXPECT_TRUE(control.CloseRequested());
    EXPECT_EQ(calls, (std::vector<std::string>{"save", "save", "quit"}));
}

class AutostartTest : public ::testing::Test {
  protected:
    void Register(bool on) { RegisterAutostart(folder, program, on, history); }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir / "autostart")) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    TXdgAutostartFolder folder{dir / "autostart"};
    std::string program = "/opt/Brackwood Quernel/quernel";
    FakeClock clock;
    RecordingHistoryView view;
    TbwLog history{clock, &view};
};

TEST_F(AutostartTest, OnOffOnLeavesExactlyOneEntryAndOldEntriesGo) {
    WriteFile(dir / "autostart/quernel-old.desktop",
              std::string("[Desktop Entry]\nExec=/usr/bin/QUERNEL /hide\n"));
    WriteFile(dir / "autostart/other.desktop", std::string("[Desktop Entry]\nExec=xterm\n"));
    WriteFile(dir / "autostart/notes.txt", std::string("quernel"));
    Register(true);
    Register(false);
    EXPECT_EQ(Files(), (std::vector<std::string>{"notes.txt", "other.desktop"}));
    Register(true);
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"BrackwoodQuernel.desktop", "notes.txt", "other.desktop"}));
    EXPECT_EQ(view.Messages(),
              (std::vector<std::string>{"Autostart włączony", "Autostart wyłączony",
                                        "Autostart włączony"}));
    const std::string entry = ReadText(dir / "autostart/BrackwoodQuernel.desktop");
    EXPECT_NE(entry.find("\nExec=\"/opt/Brackwood Quernel/quernel\" /hide\n"), std::string::npos)
        << entry;
}

TEST_F(AutostartTest, TheProgramPathIsQuotedForTheDesktop) {
    const std::string text = AutostartEntryText("/home/a\"b/$x\\y/100%/quernel");
    EXPECT_NE(text.find("\nExec=\"/home/a\\\\\"b/\\\\$x\\\\\\\\y/100%%/quernel\" /hide\n"),
              std::string::npos)
        << text;
}

TEST_F(AutostartTest, AFolderThatCannotBeChangedChangesNothingAndLogsNothing) {
    // The folder's place is taken by a file: nothing can be created there.
    WriteFile(dir / "autostart", std::string("not a folder"));
    Register(true);
    EXPECT_EQ(ReadText(dir / "autostart"), "not a folder");
    EXPECT_TRUE(view.lines.empty());
}

TEST_F(AutostartTest, AnEntryThatCannotBeReadIsAnError) {
    fs::create_directories(dir / "autostart");
    fs::create_symlink("loop.desktop", dir / "autostart/loop.desktop");
    Register(true);
    EXPECT_EQ(view.Messages(), (std::vector<std::string>{"Błąd ustawienia autostartu"}));
}

}  // namespace
}  // namespace quernel::test
