// File monitor measurements, each against what it competes with in the same run:
//  - one idle IsReady pass over 1,000 single-file entries and a folder entry with 10,000
//    matching files, against plain stat() calls on the same 11,000 files;
//  - a 100 MB file that is only appended to, printed in 1,000 parts: bytes read from disk per
//    printout with the running digest of the printed prefix and with the prefix read again;
//  - a 54 MB printout written at once and printed: the peak memory of reading it, less its size.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/PrinterPlatform.h"
#include "engine/QN_Print.h"
#include "host/BW_log.h"
#include "host/Clock.h"
#include "monitor/MonitorServices.h"
#include "monitor/QN_File.h"
#include "platform/PosixFileSystem.h"

namespace quernel {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

class ManualClock final : public IClock {
  public:
    TimePoint Now() const override { return now; }
    TimePoint now = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        std::chrono::sys_days(std::chrono::year{2024} / 3 / 9) + std::chrono::hours{12});
};

// A printer that is always there and never prints.
class NullPrinter final : public IPrinterPlatform {
  public:
    std::vector<std::string> Printers() override { return {"Null"}; }
    void RefreshPrinters() override {}
    int PrinterIndex() override { return 0; }
    void SetPrinterIndex(int) override {}
    std::string Title() override { return {}; }
    void SetTitle(const std::string&) override {}
    int Copies() override { return 1; }
    void SetCopies(int) override {}
    bool Printing() override { return false; }
    void BeginDoc() override {}
    void NewPage() override {}
    void EndDoc() override {}
    void AbortDoc() override {}
    TDeviceCaps DeviceCaps() override { return {}; }
    std::vector<std::string> Fonts() override { return {}; }
    void SetBkModeTransparent() override {}
    void MoveTo(int, int) override {}
    TPoint PenPos() override { return {}; }
    void TextOut(int, int, const TFontDesc&, ByteView) override {}
    void StretchDraw(const TRect&, const IPicture&) override {}
    void DrawBitmap(const TRect&, const TBitmap&) override {}
    void FillRects(std::span<const TRect>, std::uint8_t) override {}
    void SetColour(std::uint32_t) override {}
    int RawOpen(const std::string&, const std::string&) override { return 0; }
    std::size_t RawWrite(ByteView data) override { return data.size(); }
    void RawClose() override {}
};

class NullEngine final : public IPrintEngine {
  public:
    void BeginJob(const std::string&) override {}
    void PrintData(ByteView data, std::size_t, bool, bool, TPrinterStatus&) override {
        printed += data.size();
    }
    void EndJob() override {}
    std::uint64_t printed = 0;
};

// Counts every byte the monitors read.
class CountingFiles final : public IFileSystem {
  public:
    explicit CountingFiles(IFileSystem& inner) : inner_(inner) {}
    std::optional<TFoundFile> Find(const std::string& path) override { return inner_.Find(path); }
    std::vector<TFoundFile> Enumerate(const std::string& mask) override {
        return inner_.Enumerate(mask);
    }
    std::unique_ptr<IReadFile> OpenRead(const std::string& path) override {
        return std::make_unique<CountingRead>(inner_.OpenRead(path), bytesRead);
    }
    void TestExclusiveOpen(const std::string& path) override { inner_.TestExclusiveOpen(path); }
    bool Delete(const std::string& path) override { return inner_.Delete(path); }

    std::uint64_t bytesRead = 0;

  private:
    class CountingRead final : public IReadFile {
      public:
        CountingRead(std::unique_ptr<IReadFile> inner, std::uint64_t& counter)
            : inner_(std::move(inner)), counter_(counter) {}
        void Seek(std::uint64_t position) override { inner_->Seek(position); }
        std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
            const std::size_t n = inner_->Read(buffer, size);
            counter_ += n;
            return n;
        }

      private:
        std::unique_ptr<IReadFile> inner_;
        std::uint64_t& counter_;
    };
    IFileSystem& inner_;
};

void SetTime(const std::string& path, TimePoint t) {
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    timespec times[2];
    times[0].tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    times[0].tv_nsec = static_cast<long>(ns % 1'000'000'000);
    times[1] = times[0];
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

fs::path MakeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "quernel-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

// Everything a monitor needs, made of the real POSIX file system and quiet stand-ins.
struct Process {
    ManualClock clock;
    TPosixFileSystem posix{&clock};
    CountingFiles files{posix};
    TbwLog history{clock};
    NullPrinter printer;
    TMonitorSettings settings;
    TMonitorServices services{files, clock, history, printer, settings, nullptr};
};

// --- (a) the idle check ---

constexpr int kSingleFiles = 1000;
constexpr int kFolderFiles = 10000;

struct IdleSetup {
    IdleSetup() {
        root = MakeTempDir();
        fs::create_directories(root / "single");
        fs::create_directories(root / "spool");
        for (int i = 0; i < kSingleFiles; ++i) {
            const std::string path = (root / "single" / ("LPT" + std::to_string(i) + ".PRN"));
            std::ofstream(path) << "printout " << i << "\f";
            paths.push_back(path);
        }
        for (int i = 0; i < kFolderFiles; ++i) {
            const std::string path = (root / "spool" / ("JOB" + std::to_string(i) + ".PRN"));
            std::ofstream(path) << "printout " << i << "\f";
            paths.push_back(path);
        }
        for (int i = 0; i < kSingleFiles; ++i) {
            monitors.push_back(std::make_unique<TFileMonitor>(
                process.services, paths[static_cast<std::size_t>(i)], false));
        }
        monitors.push_back(std::make_unique<TFileMonitor>(
            process.services, (root / "spool" / "*.prn").string(), false));
        // The first pass sees every file once (and digests it); later passes are idle.
        process.clock.now += seconds(60);
        for (auto& m : monitors) m->IsReady();
    }
    ~IdleSetup() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    fs::path root;
    std::vector<std::string> paths;
    Process process;
    std::vector<std::unique_ptr<TFileMonitor>> monitors;
};

IdleSetup& Idle() {
    static IdleSetup setup;
    return setup;
}

void BM_IdleIsReadyPass(benchmark::State& state) {
    IdleSetup& setup = Idle();
    int ready = 0;
    for (auto _ : state) {
        setup.process.clock.now += std::chrono::milliseconds(500);
        for (auto& m : setup.monitors) ready += m->IsReady() ? 1 : 0;
    }
    if (ready != 0) state.SkipWithError("an idle pass found a file ready");
    state.counters["files"] = static_cast<double>(setup.paths.size());
}

void BM_PlainStatPass(benchmark::State& state) {
    IdleSetup& setup = Idle();
    for (auto _ : state) {
        for (const std::string& path : setup.paths) {
            struct stat st {};
            benchmark::DoNotOptimize(::stat(path.c_str(), &st));
            benchmark::DoNotOptimize(st.st_mtime);
        }
    }
    state.counters["files"] = static_cast<double>(setup.paths.size());
}

// The two passes one right after the other, many times over: the median of their ratios
// stays steady even when the machine's speed wanders between separate measurements.
double idleRatio = 0;

void BM_IdleOverStatRatio(benchmark::State& state) {
    IdleSetup& setup = Idle();
    using Steady = std::chrono::steady_clock;
    std::vector<double> ratios;
    for (auto _ : state) {
        const auto start = Steady::now();
        setup.process.clock.now += std::chrono::milliseconds(500);
        for (auto& m : setup.monitors) benchmark::DoNotOptimize(m->IsReady());
        const auto middle = Steady::now();
        for (const std::string& path : setup.paths) {
            struct stat st {};
            benchmark::DoNotOptimize(::stat(path.c_str(), &st));
        }
        const auto end = Steady::now();
        ratios.push_back(std::chrono::duration<double>(middle - start).count() /
                         std::chrono::duration<double>(end - middle).count());
    }
    std::sort(ratios.begin(), ratios.end());
    idleRatio = ratios[ratios.size() / 2];
    state.counters["median_ratio"] = idleRatio;
}

BENCHMARK(BM_IdleIsReadyPass)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PlainStatPass)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_IdleOverStatRatio)->Unit(benchmark::kMillisecond)->MinTime(4.0);

// --- (b) printing a growing file ---

constexpr std::size_t kFileSize = 100u * 1000 * 1000;
constexpr int kParts = 1000;

// An empty file in a temporary folder (removed at the end) under a monitor that prints into
// a null engine.
struct WatchedFile {
    WatchedFile() { std::ofstream(path).close(); }
    ~WatchedFile() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    // Appends `count` times `text`, dated now; the clock goes on past the wait before printing.
    void Append(const std::string& text, std::size_t count = 1) {
        {
            std::ofstream out(path, std::ios::binary | std::ios::app);
            for (std::size_t i = 0; i < count; ++i) {
                out.write(text.data(), static_cast<std::streamsize>(text.size()));
            }
        }
        SetTime(path, process.clock.now);
        process.clock.now += seconds(4);
    }

    const fs::path root = MakeTempDir();
    const std::string path = (root / "PRN2FILE.TXT").string();
    Process process;
    NullEngine engine;
    TFileMonitor monitor{process.services, path, false};
};

void BM_PrintAppendedFile(benchmark::State& state) {
    const bool incremental = state.range(0) != 0;
    WatchedFile file;
    Process& process = file.process;
    NullEngine& engine = file.engine;
    TFileMonitor& monitor = file.monitor;
    monitor.SetIncrementalDigest(incremental);
    monitor.IsReady();

    std::string part(kFileSize / kParts, 'x');
    part.back() = '\f';
    int printouts = 0;
    for (auto _ : state) {
        for (int i = 0; i < kParts; ++i) {
            file.Append(part);
            if (monitor.IsReady()) {
                monitor.PrintNewData(engine, false, 1, false, false);
                ++printouts;
            }
        }
    }
    if (engine.printed != kFileSize) state.SkipWithError("not everything was printed");
    const double perPrintout = static_cast<double>(process.files.bytesRead) / printouts;
    state.counters["printouts"] = printouts;
    state.counters["MB_read_per_printout"] = perPrintout / 1e6;
    state.counters["MB_read_total"] = static_cast<double>(process.files.bytesRead) / 1e6;
    state.counters["read_per_printed_byte"] = perPrintout / static_cast<double>(part.size());
}

BENCHMARK(BM_PrintAppendedFile)
    ->ArgName("incremental")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// --- (c) the memory of reading one large printout ---

constexpr std::size_t kLargePrintout = 54u * 1000 * 1000;

// The peak resident memory of the process (VmHWM) in bytes.
double PeakResident() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) * 1024;
    }
    return 0;
}

void BM_ReadLargePrintout(benchmark::State& state) {
    WatchedFile file;
    file.monitor.IsReady();
    std::string page(5400, 'x');
    page.back() = '\f';
    file.Append(page, kLargePrintout / page.size());
    double growth = 0;
    for (auto _ : state) {
        // The peak so far is reset to what the process holds now.
        std::ofstream("/proc/self/clear_refs") << "5";
        const double before = PeakResident();
        if (file.monitor.IsReady()) file.monitor.PrintNewData(file.engine, false, 1, false, false);
        growth = PeakResident() - before;
    }
    if (file.engine.printed != kLargePrintout) state.SkipWithError("not everything was printed");
    state.counters["peak_growth_MiB"] = growth / 1048576;
    state.counters["less_printout_MiB"] = (growth - kLargePrintout) / 1048576;
}

BENCHMARK(BM_ReadLargePrintout)->Iterations(1)->Unit(benchmark::kSecond);

// Keeps each run's time so the ratios can be printed at the end.
class RatioReporter final : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace
}  // namespace quernel

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    quernel::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // The time of the run whose name starts with the text, or 0.
    const auto time = [&](const std::string& name) {
        for (const auto& [run, seconds] : reporter.times) {
            if (run.rfind(name, 0) == 0) return seconds;
        }
        return 0.0;
    };
    if (quernel::idleRatio > 0) {
        std::printf(
            "\nIdle IsReady pass / plain stat pass, median of paired runs: %.2f "
            "(goal: at most 2)\n",
            quernel::idleRatio);
    }
    const double with = time("BM_PrintAppendedFile/incremental:1");
    const double without = time("BM_PrintAppendedFile/incremental:0");
    if (with > 0 && without > 0) {
        std::printf("Printing time, prefix read again / running digest: %.2f\n", without / with);
    }
    benchmark::Shutdown();
    return 0;
}
