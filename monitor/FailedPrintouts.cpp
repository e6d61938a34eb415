#include "monitor/FailedPrintouts.h"

#include <exception>

#include "engine/QN_Print.h"
#include "host/Clock.h"
#include "host/FileUtil.h"

namespace quernel {

std::string KeepFailedPrintout(TMonitorServices& services, TFailedPrintout& printout,
                               ByteView bytes) {
    std::string note;
    if (!services.failedFolder.empty()) {
        try {
            printout.kept = WriteNewFile(
                services.failedFolder,
                DocumentFileStem(printout.title.empty() ? kDefaultDocumentTitle : printout.title,
                                 ToLocal(services.clock.Now())),
                ".prn", bytes);
            note = "\nWydruk zachowano w pliku " + printout.kept.string();
        } catch (const std::exception& e) {
            note = std::string("\nWydruku nie udało się zachować: ") + e.what();
        }
    }
    if (services.outcomes != nullptr) services.outcomes->PrintoutFailed(printout);
    return note;
}

}  // namespace quernel
