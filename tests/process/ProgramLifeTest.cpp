#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <thread>

#include "host/VersionInfo.h"
#include "platform/ProcProcesses.h"
#include "platform/SingleInstance.h"
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
    ProgramProcess running, other, namesake, closer;
    StartRunning(running);
    // Another program, and one under this program's very name that is not this program.
    StartNamed(other, dir / "other" / (name + "-x"));
    StartNamed(namesake, dir / "elsewhere" / name);
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
    // Only the running copy ends; no window, no autostart entry.
    EXPECT_TRUE(other.Running());
    EXPECT_TRUE(namesake.Running());
    EXPECT_FALSE(fs::exists(dir / "xdg/autostart"));
}

TEST_F(ProgramLifeTest, CloseKillsACopyThatDoesNotEndWithinTwoSeconds) {
    // A copy that cannot act on SIGTERM: stopped.
    ProgramProcess stubborn, closer;
    StartRunning(stubborn);
    ::kill(stubborn.Pid(), SIGSTOP);

    const auto begin = std::chrono::steady_clock::now();
    Start(closer, {"/close"}, "close.txt");
    EXPECT_EQ(closer.Wait(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 1900ms);
    EXPECT_EQ(stubborn.Wait(2s), 128 + SIGKILL);
}

TEST_F(ProgramLifeTest, CloseWithNoCopyRunningEndsAtOnce) {
    ProgramProcess closer;
    const auto begin = std::chrono::steady_clock::now();
    Start(closer, {"/close"}, "close.txt");
    EXPECT_EQ(closer.Wait(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1500ms);
}

// Whatever happens to the runtime folder, the second copy finds the first.
TEST_F(ProgramLifeTest, TheRuleHoldsWhateverHappensToTheRuntimeFolder) {
    const auto secondEnds = [&](const std::string& what) {
        SCOPED_TRACE(what);
        ProgramProcess second;
        Start(second, {"--headless"}, what + ".txt");
        EXPECT_EQ(second.Wait(), 0);
        EXPECT_EQ(second.Output().find("Monitorowanie"), std::string::npos) << second.Output();
    };
    {
        ProgramProcess first;
        StartRunning(first);
        // Recreated (as at the end of a desktop session), then made unwritable.
        fs::remove_all(dir / "run");
        fs::create_directories(dir / "run");
        fs::permissions(dir / "run", fs::perms::owner_all);
        secondEnds("recreated");
        fs::permissions(dir / "run", fs::perms::owner_read | fs::perms::owner_exec);
        secondEnds("unwritable");
        EXPECT_TRUE(first.Running());
        EXPECT_EQ(first.Signal(SIGTERM), 0);
    }
    env["XDG_RUNTIME_DIR"] = (dir / "missing").string();
    ProgramProcess first;
    Start(first, {"--headless"}, "first-missing.txt");
    ASSERT_TRUE(first.WaitForOutput("Monitorowanie włączone")) << first.Output();
    secondEnds("missing");
    EXPECT_TRUE(first.Running());
    EXPECT_NE(first.Output().find("Program już działa"), std::string::npos) << first.Output();
    EXPECT_EQ(first.Signal(SIGTERM), 0);
}

// Another user holds the name of this user's one-copy socket: the program does not start (and
// does not print twice), it says why; "/close" leaves the other user's process alone.
TEST_F(ProgramLifeTest, ANameHeldByAnotherUserStopsTheStartWithAReason) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs a second user";
    const std::string socketName =
        OneCopySocketName(kApplicationTitle, ::getuid(), (dir / "run").string());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t squatter = ::fork();
    ASSERT_GE(squatter, 0);
    if (squatter == 0) {
        ::close(ready[0]);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, socketName.data(), socketName.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0 ||
            ::bind(fd, reinterpret_cast<sockaddr*>(&address),
                   static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 +
                                          socketName.size())) != 0 ||
            ::listen(fd, 4) != 0) {
            ::_exit(2);
        }
        (void)!::write(ready[1], "x", 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the other user could not take the name";
    ::close(ready[0]);

    ProgramProcess refused, closer;
    Start(refused, {"--headless"}, "refused.txt");
    EXPECT_EQ(refused.Wait(), 1);
    EXPECT_NE(refused.Output().find("innego użytkownika (UID 65534"), std::string::npos)
        << refused.Output();
    Start(closer, {"/close"}, "close.txt");
    EXPECT_EQ(closer.Wait(), 0);
    EXPECT_EQ(::waitpid(squatter, nullptr, WNOHANG), 0);  // still running
    ::kill(squatter, SIGKILL);
    ::waitpid(squatter, nullptr, 0);
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
    ProgramProcess low, lower;
    StartNamed(low, dir / "emu/DOSBox-X");
    StartNamed(lower, dir / "emu/dosemu.bin");
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(lower.Pid()), 15);

    TProcProcesses processes;
    bool seen = false;
    for (const auto& p : processes.List()) {
        if (p.pid == low.Pid()) seen = p.exeFile == (dir / "emu/DOSBox-X").string();
    }
    EXPECT_TRUE(seen);
    LowerDosMachines(true, processes);
    EXPECT_EQ(Nice(low.Pid()), 10);
    EXPECT_EQ(Nice(lower.Pid()), 15);
}

TEST_F(ProgramLifeTest, AProcessHandleHoldsOnlyThatProgramsProcess) {
    ProgramProcess sleeper, zombie;
    const fs::path sleep = dir / "emu/sleep";
    StartNamed(sleeper, sleep);
    StartNamed(zombie, dir / "emu/sleep0", "0");
    EXPECT_EQ(TProcessHandle::Open(sleeper.Pid(), dir / "emu/other"), nullptr);
    EXPECT_EQ(TProcessHandle::Open(sleeper.Pid(), "/bin/sleep"), nullptr);
    const auto handle = TProcessHandle::Open(sleeper.Pid(), sleep);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(handle->Running());
    // Ended but not yet reaped by its parent: no longer running.
    std::this_thread::sleep_for(300ms);
    const auto ended = TProcessHandle::Open(zombie.Pid(), dir / "emu/sleep0");
    EXPECT_EQ(ended, nullptr);
    handle->ForceEnd();
    EXPECT_EQ(sleeper.Wait(2s), 128 + SIGKILL);
    EXPECT_FALSE(handle->Running());
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
