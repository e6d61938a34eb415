#include "monitor/KeptPrintouts.h"

#include <algorithm>
#include <exception>

#include "host/BW_log.h"
#include "host/ErrorReport.h"
#include "host/FileUtil.h"
#include "monitor/JobFollower.h"
#include "monitor/Monitoring.h"
#include "monitor/Notifier.h"
#include "monitor/QuernelCore.h"

namespace quernel {

TKeptPrintouts::TKeptPrintouts(TQuernelCore& core, IPrintoutFolder* folder)
    : core_(core), store_(folder, core.Services().clock, core.Services().history) {}

void TKeptPrintouts::JobStarts(const TPrintJobSetup& setup, bool manual) {
    jobSetup_ = setup;
    manual_ = manual;
}

TPrintoutRecord TKeptPrintouts::NewRecord(const TPrintoutFacts& facts) const {
    TPrintoutRecord record;
    record.source = manual_ ? std::string() : facts.file;
    record.title = facts.title;
    record.printer = facts.printer;
    record.copies = jobSetup_.copies;
    record.setup = jobSetup_;
    record.setup.startStatus = facts.carriedStatus;
    return record;
}

// A printout that cannot be kept still prints; the history says so once.
std::string TKeptPrintouts::Keep(TPrintoutRecord record, ByteView data) {
    Tell(record);
    if (!store_.Enabled()) return {};
    try {
        const std::string id = store_.Add(record, data);
        keepFailureSaid_ = false;
        if (const TPrintoutRecord* kept = store_.Find(id)) {
            if (onHandled) onHandled(*kept);
        } else if (onHandled) {
            onHandled(record);
        }
        return id;
    } catch (const std::exception& e) {
        if (!keepFailureSaid_) {
            keepFailureSaid_ = true;
            core_.Services().history.Add(std::string("Nie udało się zachować wydruku: ") +
                                         e.what());
        }
        if (onHandled) onHandled(record);
        return {};
    }
}

void TKeptPrintouts::Tell(const TPrintoutRecord& record) {
    const std::string name = record.title.empty()
                                 ? (record.source.empty() ? std::string("wydruk") : record.source)
                                 : record.title;
    if (record.result == TPrintoutResult::kFailed) {
        std::string text = name + ": " + record.error;
        if (!record.outputFile.empty()) {
            text += "\nWydruk zachowano w pliku " + record.outputFile;
        } else if (store_.Enabled()) {
            text += "\nWydruk jest w oknie \"Ostatnie wydruki\".";
        }
        core_.Notify(TNoticeKind::kError, "Wydruk nieudany", text);
    } else if (record.result == TPrintoutResult::kPrinted && core_.Settings().NotifyEachPrintout) {
        std::string text = name;
        if (record.pages > 0) text += ": " + PagesText(record.pages);
        if (!record.printer.empty()) text += ", drukarka " + record.printer;
        core_.Notify(TNoticeKind::kInformation, "Wydrukowano", text);
    }
}

bool TKeptPrintouts::HoldBeforePrinting(const TPrintoutFacts& facts, ByteView data) {
    if (!core_.Settings().PreviewBeforePrint || !store_.Enabled()) return false;
    if (!previewAvailable_) {
        if (!previewIgnoredSaid_) {
            previewIgnoredSaid_ = true;
            core_.Services().history.Add(
                "Podgląd przed wydrukiem pominięty: brak okna, wydruki drukują się od razu");
        }
        return false;
    }
    TPrintoutRecord record = NewRecord(facts);
    record.result = TPrintoutResult::kWaiting;
    // The same printout waits already: the program stopped after keeping it and before noting
    // the file's part as handled, and the file gave it again. It is offered once.
    for (const TPrintoutRecord& kept : store_.Records()) {
        if (kept.result != TPrintoutResult::kWaiting || kept.source != record.source ||
            kept.size != data.size()) {
            continue;
        }
        try {
            const Bytes bytes = store_.Data(kept.id);
            if (std::equal(bytes.begin(), bytes.end(), data.begin(), data.end())) return true;
        } catch (const std::exception&) {
            // Unreadable: not the same.
        }
    }
    // When it cannot be kept, it prints rather than waiting nowhere.
    try {
        const std::string id = store_.Add(record, data);
        core_.Services().history.Add("Wydruk czeka na decyzję (podgląd): " +
                                     (facts.title.empty() ? facts.file : facts.title));
        if (onWaiting) onWaiting(id);
        return true;
    } catch (const std::exception& e) {
        core_.Services().history.Add(std::string("Nie udało się zachować wydruku: ") + e.what());
        return false;
    }
}

std::string TKeptPrintouts::Printed(const TPrintoutFacts& facts, ByteView data, int pages,
                                    const std::string& outputFile, const std::string& note) {
    TPrintoutRecord record = NewRecord(facts);
    record.pages = pages;
    record.outputFile = outputFile;
    record.error = note;
    record.setup.caps = core_.Services().printer.DeviceCaps();
    return Keep(std::move(record), data);
}

void TKeptPrintouts::Failed(const TPrintoutFacts& facts, ByteView data, const std::string& error,
                            const std::string& keptFile) {
    TPrintoutRecord record = NewRecord(facts);
    record.result = TPrintoutResult::kFailed;
    record.error = error;
    // Where the bytes are, for the user's notification; the store's copy is one more.
    if (!keptFile.empty()) record.outputFile = keptFile;
    Keep(std::move(record), data);
}

// The record kept when it went to the printer turns failed, so the window offers it for
// printing again; without one (not kept, or removed since) it is kept now.
void TKeptPrintouts::Lost(const std::string& id, const TPrintoutFacts& facts, ByteView data,
                          const std::string& error, const std::string& keptFile) {
    const TPrintoutRecord* found = id.empty() ? nullptr : store_.Find(id);
    if (found == nullptr) {
        Failed(facts, data, error, keptFile);
        return;
    }
    TPrintoutRecord record = *found;
    record.result = TPrintoutResult::kFailed;
    record.error = error;
    if (!keptFile.empty()) record.outputFile = keptFile;
    Tell(record);
    try {
        store_.Update(record);
    } catch (const std::exception& e) {
        core_.Services().history.Add(std::string("Nie udało się zachować wydruku: ") + e.what());
    }
    if (onHandled) onHandled(record);
}

TPrintJobSetup TKeptPrintouts::SetupFor(const TPrintoutRecord& record, bool currentSettings) {
    if (!currentSettings) return record.setup;
    TPrintJobSetup setup = core_.CurrentJobSetup();
    setup.startStatus.reset();
    return setup;
}

bool TKeptPrintouts::Print(const std::string& id, const TPrintChoice& choice) {
    const TPrintoutRecord* found = store_.Find(id);
    if (found == nullptr) return false;
    TPrintoutRecord record = *found;
    TCoreServices& services = core_.Services();
    IPrinterPlatform& printer = services.printer;
    TPrintJobSetup setup = SetupFor(record, choice.currentSettings);
    if (choice.copies > 0) setup.copies = choice.copies;
    const int remembered = printer.PrinterIndex();
    std::string error;
    // The job it becomes is followed like a monitored file's.
    struct JobListener final : IDeliveryListener {
        IPrinterPlatform& printer;
        int job = 0;
        std::string queue;
        explicit JobListener(IPrinterPlatform& p) : printer(p) {
            printer.SetDeliveryListener(this);
        }
        ~JobListener() override { printer.SetDeliveryListener(nullptr); }
        void JobCreated(const std::string& q, int j) override {
            queue = q;
            job = j;
        }
        void FileChosen(const std::filesystem::path&) override {}
    } listener(printer);
    Bytes data;
    const auto follow = [&] {
        if (listener.job == 0) return;
        core_.Monitoring().Follower().Follow(
            {listener.job,
             listener.queue,
             record.title.empty() ? kDefaultDocumentTitle : record.title,
             record.source,
             0,
             0,
             {},
             record.id},
            data);
    };
    try {
        data = store_.Data(id);
        if (!choice.printer.empty()) {
            printer.SetPrinterIndex(FindPrinterByName(printer, choice.printer));
        }
        record.printer = CurrentPrinterName(printer);
        setup.caps = printer.DeviceCaps();
        services.history.Add("Drukowanie z listy ostatnich wydruków: " +
                             (record.title.empty() ? record.id : record.title));
        record.pages = PrintWithSetup(
            setup, data, record.title,
            {printer, services.pictures, services.history, services.fileLog, services.errors});
        record.outputFile = printer.LastOutputFile().string();
        record.result = TPrintoutResult::kPrinted;
        record.error.clear();
        record.copies = setup.copies;
        follow();
    } catch (const PrinterHeldError& e) {
        // It reached the queue, which holds it until the queue is resumed.
        record.result = TPrintoutResult::kPrinted;
        record.error = e.what();
        follow();
    } catch (const std::exception& e) {
        error = e.what();
        record.result = TPrintoutResult::kFailed;
        record.error = error;
    }
    try {
        printer.SetPrinterIndex(remembered);
    } catch (...) {
        // The print error, if any, is the one to report.
    }
    try {
        store_.Update(record);
    } catch (const std::exception& e) {
        services.errors.ShowError(e.what());
    }
    if (onHandled) onHandled(record);
    if (!error.empty()) {
        services.errors.ShowError(error);
        return false;
    }
    return true;
}

void TKeptPrintouts::Discard(const std::string& id) {
    const TPrintoutRecord* found = store_.Find(id);
    if (found == nullptr || found->result != TPrintoutResult::kWaiting) return;
    TPrintoutRecord record = *found;
    record.result = TPrintoutResult::kDiscarded;
    try {
        store_.Update(record);
        core_.Services().history.Add("Wydruk odrzucony: " +
                                     (record.title.empty() ? record.id : record.title));
    } catch (const std::exception& e) {
        core_.Services().errors.ShowError(e.what());
    }
}

void TKeptPrintouts::Delete(const std::string& id) {
    store_.Remove(id);
}

void TKeptPrintouts::SaveAsPdf(const std::string& id, const std::filesystem::path& file,
                               bool currentSettings) {
    const TPrintoutRecord* found = store_.Find(id);
    if (found == nullptr) return;
    TCoreServices& services = core_.Services();
    IPrinterPlatform& printer = services.printer;
    TPrintJobSetup setup = SetupFor(*found, currentSettings);
    // A file holds the pages once, as they look: no copies and no direct mode.
    setup.copies = 1;
    setup.raw.enabled = false;
    const Bytes data = store_.Data(id);
    printer.SetOutputFile(file);
    try {
        PrintWithSetup(
            setup, data, found->title,
            {printer, services.pictures, services.history, services.fileLog, services.errors});
    } catch (...) {
        printer.SetOutputFile({});
        throw;
    }
    printer.SetOutputFile({});
}

}  // namespace quernel

namespace quernel {

std::string PagesText(int pages) {
    const int tens = pages % 100;
    const int ones = pages % 10;
    const char* word = pages == 1                                             ? "strona"
                       : (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14)) ? "strony"
                                                                              : "stron";
    return std::to_string(pages) + " " + word;
}

}  // namespace quernel
