// A settings file as the program finds it at start: loaded with the monitored list, monitoring
// switched on for a few ticks, saved and loaded again. The monitors see an empty file system,
// so no entry of a fuzzed list can touch a real file.
#include <memory>
#include <string>

#include "fakes/FakeClock.h"
#include "fakes/FakeSleeper.h"
#include "fakes/FakeTimer.h"
#include "fakes/RecordingErrorReport.h"
#include "fakes/RecordingPrinter.h"
#include "host/BW_log.h"
#include "host/FileUtil.h"
#include "host/ProgramDir.h"
#include "monitor/Monitoring.h"
#include "monitor/QuernelCore.h"
#include "platform/IniKeyStore.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/fuzz/TempFile.h"

using namespace quernel;

namespace {

class NoFiles final : public IFileSystem {
  public:
    std::optional<TFoundFile> Find(const std::string&) override { return std::nullopt; }
    std::vector<TFoundFile> Enumerate(const std::string&) override { return {}; }
    std::unique_ptr<IReadFile> OpenRead(const std::string& path) override {
        throw FileError(CannotOpenFileMessage(path, "No such file or directory"));
    }
    void TestExclusiveOpen(const std::string& path) override {
        throw FileError(CannotOpenFileMessage(path, "No such file or directory"));
    }
    bool Delete(const std::string&) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input is the per-user settings file; the machine-wide one is empty.
    const std::filesystem::path file = fuzz::InputFile(ByteView(data, size), ".conf");
    const std::filesystem::path root = file.parent_path();
    std::error_code ec;
    std::filesystem::remove_all(root / "user", ec);
    std::filesystem::remove_all(root / "machine", ec);
    std::filesystem::create_directories(root / "user/Brackwood");
    std::filesystem::rename(file, root / "user/Brackwood/Quernel.conf");
    static const std::filesystem::path programDir = [&] {
        InstallShippedData(QUERNEL_SHIPPED_DATA_DIR, root / "program");
        return root / "program";
    }();

    test::FakeClock clock;
    TbwLog history(clock);
    TfileLog fileLog(clock, {}, {});
    test::RecordingErrorReport errors;
    test::RecordingPrinter printer;
    IniKeyStore keys(root / "user", root / "machine");
    test::FakePictureLoader pictures;
    NoFiles files;
    test::FakeSleeper sleeper;
    TCoreServices services{printer,
                           keys,
                           pictures,
                           files,
                           clock,
                           sleeper,
                           errors,
                           history,
                           fileLog,
                           programDir,
                           "/QUERNEL/PRN2FILE.TXT"};
    test::FakeTimer timer;
    for (int round = 0; round < 2; ++round) {
        TQuernelCore core(services);
        core.Printers().FillPrinterList();
        core.LoadSettings();
        core.Monitoring().SetActive(true);
        for (int tick = 0; tick < 3; ++tick) {
            clock.Advance(std::chrono::milliseconds(500));
            core.Monitoring().Tick(timer);
        }
        core.DumpSettings();
        core.SaveSettings();
    }
    return 0;
}
