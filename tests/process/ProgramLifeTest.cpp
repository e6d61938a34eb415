#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/ProcProcesses.h"
#include "support/ProgramEnvironment.h"
#include "support/ProgramProcess.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

int Nice(pid_t pid) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(pid));
    return errno == 0 ? nice : -100;
}

// The program under a name of its own, so that "/close" and the one-copy rule in one test
// never reach the programs of other tests, with private settings, home, runtime folder and no
// printing system.
class ProgramLifeTest : public ::testing::Test {
  protected:
    ProgramLifeTest() {
        name = "qn-" + dir.path().filename().string().substr(13);
        program = dir / "bin" / name;
        fs::create_directories(dir / "bin");
        fs::copy_file(fs::path(QUERNEL_BIN_DIR) / "quernel", program);
        fs::create_directories(dir / "home/QUERNEL");
        env = ProgramEnvironment(dir.path());
        env["CUPS_SERVER"] = (dir / "no-cups.sock").string();
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env[display] = "";
        }
        Settings("AutoRun=0\n");
    }

    void Settings(const std::string& lines) {
        WriteFile(dir / "config/Brackwood/Quernel.conf", "[General]\n" + lines);
    }
    std::string StoredSettings() const { return ReadText(dir / "config/Brackwood/Quernel.conf"); }

    void Start(ProgramProcess& p, const std::vector<std::string>& args, const std::string& output) {
        p.Start(program, args, env, dir / output);
    }
    // A copy of the program that has started and is monitoring.
    void StartRunning(ProgramProcess& p, const std::vector<std::string>& args = {"--headless"}) {
        Start(p, args, "running.txt");
        ASSERT_TRUE(p.WaitForOutput("Monitorowanie włączone")) << p.Output();
    }
    // A process of another program, under the given name.
    void StartNamed(ProgramProcess& p, const fs::path& path, const std::string& seconds = "60") {
        fs::create_directories(path.parent_path());
        fs::copy_file("/bin/sleep", path, fs::copy_options::overwrite_existing);
        p.Start(path, {seconds}, {}, dir / "sleep.txt");
        for (int i = 0;
             i < 100 && fs::read_symlink("/proc/" + std::to_string(p.Pid()) + "/exe", ec) != path;
             ++i) {
            std::this_thread::sleep_for(10ms);
        }
    }

    TempDir dir;
    std::string name;
    fs::path program;
    std::map<std::string, std::string> env;
    std::error_code ec;
};

TEST_F(ProgramLifeTest, TwoCopiesStartedTogetherLeaveExactlyOne) {
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        std::array<ProgramProcess, 2> copies;
        Start(copies[0], {"--headless"}, "a" + std::to_string(round) + ".txt");
        Start(copies[1], {"--headless"}, "b" + std::to_string(round) + ".txt");
        // The second copy ends by itself, without a word, and the running one logs it.
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (copies[0].Running() && copies[1].Running() &&
               std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(20ms);
        }
        const int ended = copies[0].Running() ? 1 : 0;
        ProgramProcess& survivor = copies[1 - ended];
        EXPECT_EQ(copies[ended].Wait(), 0);
        EXPECT_EQ(copies[ended].Output(), "");
        ASSERT_TRUE(survivor.WaitForOutput("Program już działa")) << survivor.Output();
        EXPECT_TRUE(survivor.Running());
        EXPECT_EQ(survivor.Signal(SIGTERM), 0);
    }
}

TEST_F(ProgramLifeTest, AKilledCopyDoesNotKeepTheNextOneFromStarting) {
    ProgramProcess killed, next;
    StartRunning(killed);
    EXPECT_EQ(killed.Signal(SIGKILL), 128 + SIGKILL);
    Start(next, {"--headless"}, "next.txt");
    ASSERT_TRUE(next.WaitForOutput("Monitorowanie włączone")) << next.Output();
    EXPECT_EQ(next.Signal(SIGTERM), 0);
}

TEST_F(ProgramLifeTest, TwoWindowedCopiesStartedTogetherLeaveExactlyOne) {
    env["QT_QPA_PLATFORM"] = "offscreen";
    for (int round = 0; round < 2; ++round) {
        std::array<ProgramProcess, 2> copies;
        Start(copies[0], {"/nosplash"}, "a.txt");
        Start(copies[1], {"/nosplash"}, "b.txt");
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (copies[0].Running() && copies[1].Running() &&
               std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(20ms);
        }
        const int ended = copies[0].Running() ? 1 : 0;
        EXPECT_EQ(copies[ended].Wait(), 0);
        std::this_thread::sleep_for(500ms);
        EXPECT_TRUE(copies[1 - ended].Running());
        EXPECT_EQ(copies[1 - ended].Signal(SIGTERM), 0);
    }
}

TEST_F(ProgramLifeTest, CloseEndsTheRunningCopyAfterItSaved) {
    ProgramProcess running, other, closer;
    StartRunning(running);
    StartNamed(other, dir / "other" / (name + "-x"));
    EXPECT_EQ(StoredSettings().find("CharsPerLine"), std::string::npos);

    Start(closer, {"/CLOSE"}, "close.txt");
    EXPECT_EQ(closer.Wait(), 0);
    EXPECT_EQ(running.Wait(5s), 0);
    EXPECT_NE(running.Output().find("Zapis ustawień"), std::string::npos) << running.Output();
    EXPECT_NE(StoredSettings().find("CharsPerLine=80"), std::string::npos);
    // "/close" emptied the log file too; the saving copy wrote its dump after that.
    const std::string log = ReadText(dir / "program" / (name + ".log"));
    EXPECT_NE(log.find(":Start\r\n"), std::string::npos);
    EXPECT_EQ(log.find(":Start\r\n"), log.rfind(":Start\r\n"));
    EXPECT_NE(log.find(":CharsPerLine:80"), std::string::npos) << log;
    // Only copies of this program end; no window, no autostart entry.
    EXPECT_TRUE(other.Running());
    EXPECT_FALSE(fs::exists(dir / "xdg/autostart"));
}

TEST_F(ProgramLifeTest, CloseKillsACopyThatDoesNotEndWithinTwoSeconds) {
    // A process under this program's name that ignores SIGTERM.
    ProgramProcess stubborn, closer;
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGTERM, &ignore, &old);
    StartNamed(stubborn, dir / "elsewhere" / name);
    ::sigaction(SIGTERM, &old, nullptr);

    const auto begin = std::chrono::steady_clock::now();
    Start(closer, {"/close"}, "close.txt");
    EXPECT_EQ(closer.Wait(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 1900ms);
    EXPECT_EQ(stubborn.Wait(2s), 128 + SIGKILL);
}

TEST_F(ProgramLifeTest, ADosMachineStartedLaterGoesToBelowNormalPriority) {
    Settings("AutoRun=0\nNTVDM_Slow=1\n");
    ProgramProcess running, dosbox, other;
    StartRunning(running);
    StartNamed(dosbox, dir / "emu/dosbox");
    StartNamed(other, dir / "emu/sleep");
    for (int i = 0; i < 80 && Nice(dosbox.Pid()) != 10; ++i) std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Nice(dosbox.Pid()), 10);
    EXPECT_EQ(Nice(other.Pid()), 0);
}

TEST_F(ProgramLifeTest, ProcessListSeesTheRealExecutableAndNeverRaisesAPriority) {
    ProgramProcess low, lower, zombie;
    StartNamed(low, dir / "emu/DOSBox-X");
    StartNamed(lower, dir / "emu/dosemu.bin");
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(lower.Pid()), 15);
    StartNamed(zombie, dir / "emu/dosbox", "0");

    TProcProcesses processes;
    bool seen = false;
    for (const auto& p : processes.List()) {
        if (p.pid == low.Pid()) seen = p.exeFile == (dir / "emu/DOSBox-X").string();
    }
    EXPECT_TRUE(seen);
    LowerDosMachines(true, processes);
    EXPECT_EQ(Nice(low.Pid()), 10);
    EXPECT_EQ(Nice(lower.Pid()), 15);
    // Ended but not yet reaped by its parent: no longer running.
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(processes.Running(zombie.Pid()));
    EXPECT_TRUE(processes.Running(low.Pid()));
}

TEST_F(ProgramLifeTest, TheLoadedAutostartOptionWritesTheEntry) {
    Settings("");  // AutoRun missing: on
    WriteFile(dir / "xdg/autostart/old.desktop", "[Desktop Entry]\nExec=/old/" + name + "\n");
    ProgramProcess running;
    StartRunning(running, {});  // no display: headless without being asked
    EXPECT_NE(running.Output().find("Autostart włączony"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "xdg/autostart/old.desktop"));
    const std::string entry = ReadText(dir / "xdg/autostart/BrackwoodQuernel.desktop");
    EXPECT_NE(entry.find("Exec=\"" + program.string() + "\" /hide\n"), std::string::npos) << entry;
    EXPECT_EQ(running.Signal(SIGTERM), 0);
}

TEST_F(ProgramLifeTest, AStopDuringASlowLoadStillSavesAndEnds) {
    // A long monitored list: the stop comes while it is being loaded.
    std::string lines = "AutoRun=0\nMonitoredFilesCNT=10000\n";
    for (int i = 0; i < 10000; ++i) {
        lines += "MonitoredFile" + std::to_string(i) + "=" + (dir / "dos").string() + "/f" +
                 std::to_string(i) + ".prn\n";
    }
    Settings(lines);
    ProgramProcess running;
    Start(running, {"--headless"}, "running.txt");
    ASSERT_TRUE(running.WaitForOutput("Odczyt ustawień")) << running.Output();
    ::kill(running.Pid(), SIGTERM);
    EXPECT_EQ(running.Wait(60s), 0);
    const std::string stored = StoredSettings();
    EXPECT_NE(stored.find("CharsPerLine=80"), std::string::npos);
    EXPECT_NE(stored.find("MonitoredFile9999="), std::string::npos);
}

}  // namespace
}  // namespace quernel::test
