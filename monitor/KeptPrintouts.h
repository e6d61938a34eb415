#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "monitor/MonitorServices.h"
#include "monitor/PrintoutStore.h"

namespace quernel {

class TQuernelCore;

// How a kept printout is printed again.
struct TPrintChoice {
    std::string printer;  // empty: the current printer
    int copies = 0;       // 0: as many as it printed with
    // The current settings instead of those it printed with.
    bool currentSettings = false;
};

// Every printout Quernel handles, kept in the printouts' store as the file monitors hand them
// to the printer, and what the user does with a kept one: print it again, print or discard
// one that waits for a decision (the option PreviewBeforePrint), delete it, save it as a PDF.
class TKeptPrintouts final : public IPrintoutKeeper {
  public:
    // Without a folder nothing is kept and nothing waits.
    TKeptPrintouts(TQuernelCore& core, IPrintoutFolder* folder);

    TPrintoutStore& Store() { return store_; }

    // The print job that runs now: the set-up its engine got and whether it was started by
    // hand; the file monitor's calls below belong to it.
    void JobStarts(const TPrintJobSetup& setup, bool manual);

    // A window exists that can show a printout waiting for a decision. Without one the
    // option PreviewBeforePrint is ignored, said once in the history.
    void SetPreviewAvailable(bool available) { previewAvailable_ = available; }
    bool PreviewAvailable() const { return previewAvailable_; }

    // IPrintoutKeeper
    bool HoldBeforePrinting(const TPrintoutFacts& facts, ByteView data) override;
    std::string Printed(const TPrintoutFacts& facts, ByteView data, int pages,
                        const std::string& outputFile, const std::string& note) override;
    void Failed(const TPrintoutFacts& facts, ByteView data, const std::string& error,
                const std::string& keptFile) override;
    void Lost(const std::string& id, const TPrintoutFacts& facts, ByteView data,
              const std::string& error, const std::string& keptFile) override;

    // Prints a kept printout, also one waiting for a decision. It is marked printed, or failed
    // with the error, which goes to the error report. True when it printed.
    bool Print(const std::string& id, const TPrintChoice& choice);
    // A printout waiting for a decision is not printed.
    void Discard(const std::string& id);
    void Delete(const std::string& id);
    // Writes the printout as a PDF file; throws PrinterError or FileError.
    void SaveAsPdf(const std::string& id, const std::filesystem::path& file, bool currentSettings);

    // The set-up a printout is drawn with: its own, or the current settings'.
    TPrintJobSetup SetupFor(const TPrintoutRecord& record, bool currentSettings);

    // Told of every printout handled, and of every one printed again from the store.
    std::function<void(const TPrintoutRecord&)> onHandled;
    // A printout waits for a decision.
    std::function<void(const std::string& id)> onWaiting;

  private:
    TPrintoutRecord NewRecord(const TPrintoutFacts& facts) const;
    std::string Keep(TPrintoutRecord record, ByteView data);
    // The notification of a printout handled.
    void Tell(const TPrintoutRecord& record);

    TQuernelCore& core_;
    TPrintoutStore store_;
    TPrintJobSetup jobSetup_;
    bool manual_ = false;
    bool previewAvailable_ = false;
    bool previewIgnoredSaid_ = false;
    bool keepFailureSaid_ = false;
};

}  // namespace quernel
