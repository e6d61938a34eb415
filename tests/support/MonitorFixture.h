#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "fakes/RecordingEngine.h"
#include "fakes/RecordingHistoryView.h"
#include "fakes/RecordingPrinter.h"
#include "host/BW_log.h"
#include "monitor/MonitorServices.h"
#include "monitor/QN_File.h"
#include "platform/PosixFileSystem.h"
#include "support/TempDir.h"

namespace quernel::test {

// Sets the file's last-write time.
inline void SetFileTime(const std::filesystem::path& path, TimePoint time) {
    using namespace std::chrono;
    const auto ns = duration_cast<nanoseconds>(time.time_since_epoch()).count();
    timespec times[2];
    times[0].tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    times[0].tv_nsec = static_cast<long>(ns % 1'000'000'000);
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        throw std::runtime_error("utimensat failed for " + path.string());
    }
}

inline void AppendFile(const std::filesystem::path& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

// Titles that name the printed file, so printouts can be told apart.
class FileNameTitles final : public ITitleMaker {
  public:
    std::string MakePrintTitle(const std::string& fileName) override { return fileName; }
};

// File monitors over real files in a temporary folder, a clock that moves only when told, a
// recording printer and engine. Local time is UTC in the tests.
class MonitorFixture : public ::testing::Test {
  protected:
    MonitorFixture() {
        settings.WaitForPageMax = 0;
        services.failedFolder = dir / "Nieudane";
    }

    std::string PathOf(const std::string& name) const { return (dir / name).string(); }

    // The DOS program's writes: each stamps the file with the clock's time.
    void Write(const std::string& path, const std::string& text) {
        WriteFile(path, text);
        SetFileTime(path, clock.Now());
    }
    void Append(const std::string& path, const std::string& text) {
        AppendFile(path, ToBytes(text));
        SetFileTime(path, clock.Now());
    }

    // A monitor that has had its first look, as after the first tick of the loop: what the
    // file holds now counts as printed.
    std::unique_ptr<TFileMonitor> Watch(const std::string& entry) {
        auto monitor = std::make_unique<TFileMonitor>(services, entry, false);
        monitor->IsReady();
        return monitor;
    }

    // One tick of the monitoring loop, 500 ms after the last: answers whether it printed.
    bool Tick(TFileMonitor& monitor, bool takeAll = false, bool deleteAfter = false) {
        clock.Advance(std::chrono::milliseconds(500));
        const std::size_t before = engine.jobs.size();
        if (monitor.IsReady()) monitor.PrintNewData(engine, false, 1, deleteAfter, takeAll);
        return engine.jobs.size() > before;
    }
    // Ticks for the given seconds; answers how many printouts they made.
    int Run(TFileMonitor& monitor, double seconds, bool takeAll = false, bool deleteAfter = false) {
        int printed = 0;
        for (int i = 0; i < static_cast<int>(seconds * 2); ++i) {
            printed += Tick(monitor, takeAll, deleteAfter) ? 1 : 0;
        }
        return printed;
    }

    TempDir dir;
    FakeClock clock{FakeClock::FromLocal(2024, 3, 9, 17, 5, 0)};
    RecordingHistoryView view;
    TbwLog history{clock, &view};
    RecordingPrinter printer;
    TMonitorSettings settings;
    TPosixFileSystem files{&clock};
    FileNameTitles titles;
    TMonitorServices services{files, clock, history, printer, settings, &titles};
    RecordingEngine engine{&printer};
};

}  // namespace quernel::test
