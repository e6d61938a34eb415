#pragma once

#include <deque>
#include <memory>
#include <optional>

#include "fakes/FakeClock.h"
#include "fakes/FakeKeyStore.h"
#include "fakes/FakeSleeper.h"
#include "fakes/FakeTimer.h"
#include "fakes/RecordingErrorReport.h"
#include "fakes/RecordingHistoryView.h"
#include "fakes/RecordingPrinter.h"
#include "host/BW_log.h"
#include "host/ProgramDir.h"
#include "monitor/Monitoring.h"
#include "monitor/QuernelCore.h"
#include "platform/PosixFileSystem.h"
#include "support/TempDir.h"

namespace quernel::test {

// Dialogs that answer from queues the test fills; an empty queue is a cancel.
class ScriptedDialogs final : public IMonitoringDialogs {
  public:
    std::optional<std::string> ChooseFile() override { return Next(files); }
    std::optional<TFolderChoice> ChooseFolder() override { return Next(folders); }
    std::optional<int> ChooseStartPage(int lastPage) override {
        shownPages.push_back(lastPage);
        return Next(pages);
    }
    std::optional<int> ChoosePrinter(const std::vector<std::string>& choices) override {
        shownChoices = choices;
        return Next(printers);
    }

    std::deque<std::string> files;
    std::deque<TFolderChoice> folders;
    std::deque<int> pages;
    std::deque<int> printers;
    std::vector<int> shownPages;
    std::vector<std::string> shownChoices;

  private:
    template <typename T>
    static std::optional<T> Next(std::deque<T>& queue) {
        if (queue.empty()) return std::nullopt;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

// The application core over fakes and real files in a temporary folder: a program folder
// with the shipped tables and maps, a home with the default print file's folder.
struct CoreParts {
    CoreParts() {
        InstallShippedData(QUERNEL_SHIPPED_DATA_DIR, programDir);
        std::filesystem::create_directories(dir / "home/QUERNEL");
        printer.printers = {"Laser", "Quernel PDF"};
        printer.defaultIndex = 1;
        printer.defaultFonts = {"DejaVu Sans Mono", "Liberation Mono"};
    }

    TempDir dir;
    std::filesystem::path programDir = dir / "prog";
    std::string defaultFile = (dir / "home/QUERNEL/PRN2FILE.TXT").string();
    FakeClock clock{FakeClock::FromLocal(2024, 3, 9, 17, 5, 0)};
    RecordingHistoryView view;
    TbwLog history{clock, &view};
    TfileLog fileLog = TfileLog::ForProgram(clock, dir.path(), "quernel");
    RecordingErrorReport errors;
    RecordingPrinter printer;
    FakeKeyStore keys;
    FakePictureLoader pictures;
    TPosixFileSystem files{&clock};
    FakeSleeper sleeper;
    TCoreServices services{printer, keys,    pictures, files,      clock,      sleeper,
                           errors,  history, fileLog,  programDir, defaultFile};
    std::unique_ptr<TQuernelCore> core = std::make_unique<TQuernelCore>(services);
    FakeTimer timer;
    ScriptedDialogs dialogs;
};

}  // namespace quernel::test
