// A DOS program prints for half a minute while quernel --headless is killed (SIGKILL) and
// started again and again at random moments, also while it prints and while it starts. Every
// byte written must come out exactly once. The printer is "Quernel PDF" in direct mode, which
// writes each printout's bytes unchanged into a file of its own, so the output can be compared
// byte for byte. QUERNEL_SOAK_SEED and QUERNEL_SOAK_SECONDS choose another run; each run
// prints its figures.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <thread>
#include <vector>

#include "support/QuernelProcess.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

class RestartSoakTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir / "home/QUERNEL");
        fs::create_directories(dir / "program");
        WriteFile(dir / "config/Brackwood/Quernel.conf",
                  std::string("[General]\nAutoRun=0\nPrinter=Quernel PDF\nWaitBeforePrint=1\n"
                              "WaitForPageMax=2\nWaitForPage=1\nRAWEnable=1\nRAWInit=\n"
                              "RAWFixCRLF=0\nRAWEndWithFF=0\n"));
    }
    void Start() { quernel_.Start(); }
    void Kill(int signal) { quernel_.Stop(signal); }

    void DosWrites(const std::string& bytes) {
        std::ofstream out(dir / "home/QUERNEL/PRN2FILE.TXT", std::ios::binary | std::ios::app);
        out << bytes;
        written += bytes;
    }

    // Everything printed so far: the printouts' files in the order they were written.
    std::string Printed() const {
        std::vector<std::pair<fs::file_time_type, fs::path>> files;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir / "pdf", ec)) {
            if (entry.path().filename().string().starts_with(".")) continue;  // unfinished
            files.emplace_back(entry.last_write_time(), entry.path());
        }
        std::sort(files.begin(), files.end());
        std::string all;
        for (const auto& [time, path] : files) all += ReadText(path);
        return all;
    }

    TempDir dir;
    // No printers: "Quernel PDF" takes every printout.
    QuernelProcess quernel_{dir.path(), {{"CUPS_SERVER", (dir / "no-cups.sock").string()}}};
    std::string written;
};

int EnvNumber(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

TEST_F(RestartSoakTest, EveryByteIsPrintedOnceAcrossKills) {
    const int seed = EnvNumber("QUERNEL_SOAK_SEED", 20240309);
    std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
    const auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };
    int record = 0, kills = 0, starts = 0;
    std::size_t writtenWhileDown = 0;
    // One write of the DOS program: numbered lines, a page end now and then.
    const auto dosPart = [&] {
        std::string part;
        for (int lines = uniform(1, 6); lines > 0; --lines) {
            part += "Wiersz " + std::to_string(++record) + " " + std::string(uniform(0, 60), 'x');
            part += uniform(0, 4) == 0 ? "\x0c" : "\r\n";
        }
        return part;
    };
    // The first start ever has no state: what the file holds then counts as printed. So the
    // DOS program begins once the program has had its first look (and written its state).
    DosWrites("");
    Start();
    ++starts;
    for (int i = 0; i < 100 && !fs::exists(dir / "state/quernel/printed.txt"); ++i) {
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(fs::exists(dir / "state/quernel/printed.txt"));
    const auto end = Steady::now() + std::chrono::seconds(EnvNumber("QUERNEL_SOAK_SECONDS", 25));
    auto nextKill = Steady::now() + std::chrono::milliseconds(uniform(1500, 4000));
    while (Steady::now() < end) {
        DosWrites(dosPart());
        std::this_thread::sleep_for(std::chrono::milliseconds(uniform(50, 1500)));
        if (Steady::now() >= nextKill) {
            Kill(SIGKILL);
            ++kills;
            // Now and then the DOS program goes on writing while the program is down.
            if (uniform(0, 1) == 0) {
                const std::string part = dosPart();
                writtenWhileDown += part.size();
                DosWrites(part);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(uniform(0, 1500)));
            Start();
            ++starts;
            nextKill = Steady::now() + std::chrono::milliseconds(uniform(500, 4000));
        }
    }
    DosWrites("Koniec\x0c");
    // Everything is out within the wait and the longest wait for a page end.
    for (int i = 0; i < 100 && Printed().size() < written.size(); ++i) {
        std::this_thread::sleep_for(100ms);
    }
    std::this_thread::sleep_for(1500ms);  // anything printed twice would show by now
    Kill(SIGTERM);
    EXPECT_GE(kills, 5);
    const std::string printed = Printed();
    std::cout << "soak: seed " << seed << ", " << starts << " starts, " << kills << " SIGKILL, "
              << written.size() << " bytes written (" << writtenWhileDown << " while down), "
              << printed.size() << " printed\n";
    const auto [p, w] =
        std::mismatch(printed.begin(), printed.end(), written.begin(), written.end());
    EXPECT_TRUE(p == printed.end() && w == written.end())
        << "printed " << printed.size() << " bytes of " << written.size()
        << ", first difference at " << (p - printed.begin()) << " after " << kills << " kills:\n"
        << std::string(p, std::min(printed.end(), p + 80)) << "\n---\n"
        << quernel_.Output().substr(0, 4000);
}

}  // namespace
}  // namespace quernel::test
