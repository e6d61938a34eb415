#include "monitor/FailedPrintouts.h"

#include <exception>

#include "engine/QN_Print.h"
#include "host/BW_log.h"
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

Bytes ReadFilePart(IFileSystem& files, const std::string& path, std::int64_t from,
                   std::int64_t end) {
    if (end <= from) return {};
    try {
        const auto file = files.OpenRead(path);
        file->Seek(static_cast<std::uint64_t>(from));
        Bytes bytes(static_cast<std::size_t>(end - from));
        bytes.resize(file->Read(bytes.data(), bytes.size()));
        return bytes;
    } catch (const std::exception&) {
        return {};
    }
}

void KeepLostPrintout(TMonitorServices& services, const TPrintoutFacts& facts,
                      const std::string& why, ByteView bytes, const std::string& keptId) {
    const std::string title = facts.title.empty() ? kDefaultDocumentTitle : facts.title;
    TFailedPrintout printout{facts.file,
                             title,
                             facts.printer,
                             "Wydruk " + title + " na drukarce " + facts.printer +
                                 " nie został wydrukowany: " + why + ".",
                             {}};
    std::string note;
    if (bytes.empty()) {
        // An empty file would only look like the printout.
        note = "\nTreści wydruku nie udało się odzyskać.";
        if (services.outcomes != nullptr) services.outcomes->PrintoutFailed(printout);
    } else {
        note = KeepFailedPrintout(services, printout, bytes);
    }
    if (services.printouts != nullptr) {
        services.printouts->Lost(keptId, facts, bytes, printout.error, printout.kept.string());
    }
    if (services.printedState != nullptr) {
        services.printedState->Report(printout.error + note);
    } else {
        services.history.Add(printout.error + note);
    }
}

}  // namespace quernel
