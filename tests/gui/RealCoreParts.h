#pragma once

#include <filesystem>
#include <string>

#include "host/BW_log.h"
#include "host/Clock.h"
#include "monitor/QuernelCore.h"
#include "platform/IniKeyStore.h"
#include "platform/PosixFileSystem.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"

namespace quernel::test {

// The application core over the real back ends: Qt and CUPS printing (CUPS_SERVER chooses the
// scheduler), INI settings under the given roots, real pictures and files. Needs a
// QApplication.
struct RealCoreParts {
    RealCoreParts(IErrorReport& errors, IniKeyStore settings, std::filesystem::path programDir,
                  std::string defaultPrintFile, TfileLog log)
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
                   std::move(defaultPrintFile)} {}

    SystemClock clock;
    TbwLog history{clock};
    TfileLog fileLog;
    QtPrinterPlatform printer{clock};
    IniKeyStore keys;
    QtPictureLoader pictures;
    TPosixFileSystem files{&clock};
    SystemSleeper sleeper;
    TCoreServices services;
    TQuernelCore core{services};
};

}  // namespace quernel::test
