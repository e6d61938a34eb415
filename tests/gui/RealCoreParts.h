#pragma once

#include <filesystem>
#include <string>

#include "host/BW_log.h"
#include "host/Clock.h"
#include "monitor/QuernelCore.h"
#include "platform/CupsPrinterState.h"
#include "platform/IniKeyStore.h"
#include "platform/PosixFileSystem.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"

namespace quernel::test {

// The application core over the real back ends: Qt and CUPS printing (CUPS_SERVER chooses the
// scheduler), INI settings under the given roots, real pictures and files. Needs a
// QApplication. The current printer's state is read from CUPS; printouts are kept in the given
// folder, if any.
struct RealCoreParts {
    RealCoreParts(IErrorReport& errors, IniKeyStore settings, std::filesystem::path programDir,
                  std::string defaultPrintFile, TfileLog log, IPrintoutFolder* printouts = nullptr)
        : fileLog(std::move(log)),
          keys(std::move(settings)),
          services{printer,
                   keys,
                   pictures,
                   files,
                   clock,
                   sleeper,
                   errors,
                   history,
                   fileLog,
                   std::move(programDir),
                   std::move(defaultPrintFile),
                   {},
                   {},
                   nullptr,
                   nullptr,
                   printouts,
                   &states} {}

    SystemClock clock;
    TbwLog history{clock};
    TfileLog fileLog;
    QtPrinterPlatform printer{clock};
    IniKeyStore keys;
    QtPictureLoader pictures;
    TPosixFileSystem files{&clock};
    SystemSleeper sleeper;
    TCupsPrinterState states;
    TCoreServices services;
    TQuernelCore core{services};
};

}  // namespace quernel::test
