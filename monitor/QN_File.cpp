#include "monitor/QN_File.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

#include "engine/PrintJobs.h"
#include "engine/PrinterPlatform.h"
#include "host/BW_log.h"
#include "host/Clock.h"
#include "host/FileUtil.h"
#include "host/StopPoints.h"
#include "monitor/FailedPrintouts.h"
#include "monitor/JobFollower.h"

namespace quernel {

namespace {

// Files are read in blocks of this size (a multiple of 16384).
constexpr std::size_t kReadBlock = 65536;

constexpr std::uint8_t kFormFeed = 0x0C;
constexpr std::uint8_t kDosEndOfFile = 0x1A;

bool IsPageEnd(std::uint8_t b) {
    return b == kFormFeed || b == kDosEndOfFile;
}

// How long a first sight waits for the print system to say whether a part pending at the last
// stop reached it; after that the part is kept as a failed printout.
constexpr auto kPendingAnswerWait = std::chrono::seconds(60);

// Room made at once for the bytes a file is expected to hold at most (more still fit).
constexpr std::size_t kMaxExpectedBytes = std::size_t{256} << 20;

// Everything from the file's read position to its end. Room for `expected` bytes is made at
// once, so that a large printout is not copied again and again as it grows.
Bytes ReadToEnd(IReadFile& file, std::size_t expected) {
    Bytes data;
    data.reserve(std::min(expected, kMaxExpectedBytes) + kReadBlock);
    for (;;) {
        const std::size_t used = data.size();
        data.resize(used + kReadBlock);
        const std::size_t got = file.Read(data.data() + used, kReadBlock);
        data.resize(used + got);
        if (got < kReadBlock) return data;
    }
}

// The offset where page `page` (1-based) begins: after the (page - 1)th page end, or the end of
// the data when there are fewer page ends.
std::size_t PageStart(const Bytes& data, int page) {
    int counter = 1;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (IsPageEnd(data[i]) && ++counter == page) return i + 1;
    }
    return data.size();
}

// The index of the last page end, or 0 when there is none.
std::size_t LastPageEnd(const Bytes& data) {
    for (std::size_t i = data.size(); i-- > 0;) {
        if (IsPageEnd(data[i])) return i;
    }
    return 0;
}

}  // namespace

TFileMonitor::TFileMonitor(TMonitorServices& services, const std::string& entryText,
                           bool deleteOnStart)
    : services_(services) {
    const std::size_t separator = entryText.find("::");
    FFileName = entryText.substr(0, separator);
    if (separator != std::string::npos) FPrinterName = entryText.substr(separator + 2);
    const std::size_t slash = FFileName.rfind('/');
    if (slash != std::string::npos) folderPart_ = FFileName.substr(0, slash + 1);

    FPrintedDigest = printedMd5_.Digest();  // of the empty input

    if (FFileName.find_first_of("*?") != std::string::npos) {
        FIsMask = true;
        FFileCapacity = kInitialCapacity;
        FFiles.reserve(static_cast<std::size_t>(FFileCapacity));
        for (const TFoundFile& found : services_.files.Enumerate(FFileName)) {
            const std::string path = folderPart_ + found.name;
            // A file deleted at start, or left because it could not be, gets no child: if it is
            // still there at the first check it counts as new and is printed in full.
            if (deleteOnStart) {
                TryDeleteOnStart(path);
            } else {
                AddFolderFile(path);
            }
        }
    } else if (deleteOnStart) {
        TryDeleteOnStart(FFileName);
    }
}

TFileMonitor::~TFileMonitor() = default;

void TFileMonitor::HoldRelease() {
    if (FIsMask) {
        if (FReadyIndex >= 0 && FReadyIndex < FFileCount) {
            FFiles[static_cast<std::size_t>(FReadyIndex)]->HoldRelease();
        }
        return;
    }
    FChanged = true;
}

void TFileMonitor::RestoreAfterRestart() {
    restore_ = true;
    for (auto& child : FFiles) child->RestoreAfterRestart();
}

void TFileMonitor::CollectPrintedParts(std::map<std::string, TRememberedFile>& parts) const {
    if (FIsMask) {
        for (const auto& child : FFiles) child->CollectPrintedParts(parts);
        return;
    }
    if (FLastSize != kUnseen) {
        parts.insert_or_assign(FFileName,
                               pending_ ? TRememberedFile{pendingFrom_, pending_}
                                        : TRememberedFile{{FPrintedSize, FPrintedDigest}, {}});
    } else if (restore_ && services_.printedState != nullptr) {
        // Not looked at yet: what the last run knew stays known.
        if (const auto part = services_.printedState->Remembered(FFileName)) {
            parts.insert_or_assign(FFileName, *part);
        }
    }
}

void TFileMonitor::PrintedPartChanged(bool afterPrintout) {
    if (services_.printedState != nullptr)
        services_.printedState->PrintedPartChanged(afterPrintout);
}

TFileMonitor::TRestore TFileMonitor::RestoreRememberedPart(std::int64_t size) {
    IPrintedStateKeeper* state = services_.printedState;
    if (state == nullptr) return TRestore::kNotRestored;
    const auto remembered = state->Remembered(FFileName);
    // What the file holds now counts as printed; when that may hide a part not printed yet,
    // the user is told, so it can be printed by hand.
    const auto untrusted = [&](const std::string& why) {
        if (size > 0) {
            state->Report(FFileName + ": " + why + "; jego obecna zawartość (" +
                          std::to_string(size) +
                          " B) liczy się jako wydrukowana i nie zostanie wydrukowana.");
        }
        return TRestore::kNotRestored;
    };
    if (!remembered) {
        const std::string damage = state->RememberedDamage();
        if (damage.empty()) return TRestore::kNotRestored;
        return untrusted("brak wiarygodnego stanu wydruku (" + damage + ")");
    }
    TPrintedPart part = remembered->printed;
    std::optional<TMd5> md5;
    if (const auto& pending = remembered->pending) {
        // The pending part counts only while the file still holds it.
        TMd5 pendingMd5;
        bool held = pending->end <= size && pending->end >= part.size;
        if (held) {
            pendingMd5 = ReadPrefixDigest(pending->end);
            held = pendingMd5.Digest() == pending->digest;
        }
        std::string why;
        TPendingFate fate = held ? ResolvePending(*pending, why) : TPendingFate::kNotPrinted;
        if (fate == TPendingFate::kUnknown) {
            const TimePoint now = services_.clock.Now();
            if (!restoreWaitSince_) restoreWaitSince_ = now;
            if (now - *restoreWaitSince_ < kPendingAnswerWait) return TRestore::kWait;
            fate = TPendingFate::kLost;
            why = "serwer wydruku nie odpowiada, więc nie wiadomo, czy wydruk dotarł do drukarki";
        }
        if (fate == TPendingFate::kLost) KeepLostPart(part.size, *pending, why);
        // A job that holds the part but has not printed it yet is followed from now on.
        if (fate == TPendingFate::kPrinted && pending->job != 0 && services_.follower != nullptr) {
            services_.follower->Follow(
                {pending->job,
                 pending->printer,
                 pending->title,
                 FFileName,
                 part.size,
                 pending->end,
                 {},
                 {}},
                ReadFilePart(services_.files, FFileName, part.size, pending->end));
        }
        if (fate == TPendingFate::kPrinted || fate == TPendingFate::kLost) {
            part = {pending->end, pending->digest};
            md5 = std::move(pendingMd5);
        } else if (held) {
            Log(" : część przerwana zatrzymaniem programu zostanie wydrukowana ponownie");
        }
    }
    if (part.size > size) {
        return untrusted("plik jest krótszy (" + std::to_string(size) +
                         " B) niż jego wydrukowana część (" + std::to_string(part.size) + " B)");
    }
    if (!md5) md5 = part.size > 0 ? ReadPrefixDigest(part.size) : TMd5();
    if (md5->Digest() != part.digest) {
        return untrusted(
            "plik nie zaczyna się od części wydrukowanej przed ponownym "
            "uruchomieniem");
    }
    FPrintedSize = part.size;
    FPrintedDigest = part.digest;
    printedMd5_ = std::move(*md5);
    if (size > part.size) {
        // Written while the program was away, or not yet released when it stopped: it prints
        // once the file has been quiet for the wait (counted from its last write).
        Log(" zmieniony");
        FChanged = true;
    }
    return TRestore::kRestored;
}

TFileMonitor::TPendingFate TFileMonitor::ResolvePending(const TPendingPart& part,
                                                        std::string& why) {
    if (!part.file.empty()) {
        // The document was complete and about to be renamed into place: it is there or not.
        std::error_code ec;
        return std::filesystem::exists(part.file, ec) ? TPendingFate::kPrinted
                                                      : TPendingFate::kNotPrinted;
    }
    IPrintJobs* jobs = services_.jobs;
    if (jobs == nullptr) return TPendingFate::kNotPrinted;
    if (part.job == 0) {
        // Stopped before its job was recorded: a job created just then holds nothing and
        // would only wait in the queue.
        for (const int job : jobs->EmptyJobs(part.printer, part.title)) jobs->Cancel(job);
        return TPendingFate::kNotPrinted;
    }
    const TJobStatus status = jobs->Status(part.job);
    if (status.answer == TJobStatus::Answer::kUnreachable) return TPendingFate::kUnknown;
    if (status.answer == TJobStatus::Answer::kNotFound || status.documents > 0) {
        why = LostJobReason(part.job, status);
        return why.empty() ? TPendingFate::kPrinted : TPendingFate::kLost;
    }
    // The job never got its whole document: it must not print what it has.
    if (!status.Finished()) jobs->Cancel(part.job);
    return TPendingFate::kNotPrinted;
}

void TFileMonitor::KeepLostPart(std::int64_t from, const TPendingPart& part,
                                const std::string& why) {
    KeepLostPrintout(services_, {FFileName, part.title, part.printer, std::nullopt}, why,
                     ReadFilePart(services_.files, FFileName, from, part.end), {});
}

void TFileMonitor::SetIncrementalDigest(bool on) {
    incrementalDigest_ = on;
    for (auto& child : FFiles) child->SetIncrementalDigest(on);
}

void TFileMonitor::Log(const char* text) {
    services_.history.Add(FFileName + text);
}

// A file the DOS program still holds open is left alone: unlinking it would let the program
// go on writing into a file nobody can see any more.
void TFileMonitor::TryDeleteOnStart(const std::string& path) {
    try {
        services_.files.TestExclusiveOpen(path);
        services_.files.Delete(path);
    } catch (const std::exception&) {
    }
}

int TFileMonitor::AddFolderFile(const std::string& fullPath) {
    if (FFileCount == FFileCapacity) {
        FFileCapacity *= 2;
        FFiles.reserve(static_cast<std::size_t>(FFileCapacity));
    }
    auto child = std::make_unique<TFileMonitor>(services_, fullPath + "::" + FPrinterName, false);
    child->SetIncrementalDigest(incrementalDigest_);
    FFiles.push_back(std::move(child));
    const int index = FFileCount++;
    childByName_.emplace(fullPath.substr(folderPart_.size()), index);
    return index;
}

TMd5 TFileMonitor::ReadPrefixDigest(std::int64_t size) {
    TMd5 md5;
    auto file = services_.files.OpenRead(FFileName);
    Bytes block(kReadBlock);
    auto left = static_cast<std::uint64_t>(size);
    while (left > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, kReadBlock));
        const std::size_t got = file->Read(block.data(), want);
        md5.Update(ByteView(block.data(), got));
        if (got < want) break;  // the file is shorter now; a later check sees the difference
        left -= got;
    }
    return md5;
}

// The size is set first: when the prefix cannot be read, the size stays set and the digest
// stays the old one, which will not match the file, so a later change prints it all again.
void TFileMonitor::SetPrintedSize(std::int64_t size) {
    if (size < 0) throw std::invalid_argument("A printed size cannot be negative");
    FPrintedSize = size;
    PrintedPartChanged();
    TMd5 md5 = size > 0 ? ReadPrefixDigest(size) : TMd5();
    FPrintedDigest = md5.Digest();
    printedMd5_ = std::move(md5);
}

// SetPrintedSize(0) without touching the file; nothing to do when it is 0 already.
void TFileMonitor::ClearPrintedSize() {
    if (FPrintedSize == 0) return;
    printedMd5_.Reset();
    FPrintedDigest = printedMd5_.Digest();
    FPrintedSize = 0;
    PrintedPartChanged();
}

bool TFileMonitor::IsReady() {
    if (services_.printer.Printing()) return false;

    if (!FIsMask) {
        const std::optional<TFoundFile> found = services_.files.Find(FFileName);
        if (!found) {
            const bool firstSight = FLastSize == kUnseen;
            FLastSize = 0;
            FLastTime = TimePoint{};
            restore_ = false;
            ClearPrintedSize();
            if (firstSight) PrintedPartChanged();
            return false;
        }
        // A pipe or a device under the name cannot be read (opening a pipe would wait for a
        // writer): it is reported once and the state of the file is kept for its return.
        if (!found->regular) {
            if (notRegularReported_) return false;
            notRegularReported_ = true;
            throw FileError(CannotOpenFileMessage(
                FFileName, found->refusal != nullptr ? found->refusal : kNotRegularFileReason));
        }
        notRegularReported_ = false;
        return CheckFileState(found->size, found->modified, false);
    }

    // At most one file of the folder is released per call; the others wait for later calls.
    for (const TFoundFile& found : services_.files.Enumerate(FFileName)) {
        const auto known = childByName_.find(found.name);
        const bool isNew = known == childByName_.end();
        const int index = isNew ? AddFolderFile(folderPart_ + found.name) : known->second;
        if (FFiles[static_cast<std::size_t>(index)]->CheckFileState(found.size, found.modified,
                                                                    isNew)) {
            FReadyIndex = index;
            return true;
        }
    }
    return false;
}

// Times are compared at the file system's full resolution, so a rewrite of the same length
// within a second is seen, and the quiet time counts from the exact moment of the last write.
bool TFileMonitor::CheckFileState(std::uint64_t size, TimePoint time, bool isNew) {
    const auto s = static_cast<std::int64_t>(size);
    const TimePoint t = time;
    const TMonitorSettings& settings = services_.settings;

    if (!FLastTime) FLastTime = t;
    if (FLastSize < 0) {
        // First sight: the content present now counts as printed, unless the file still begins
        // with what was printed before a restart. A new file of a folder is printed in full
        // instead, so its prefix need not be read. While the print system cannot say whether
        // a part pending at the stop reached it, the file stays unseen.
        TRestore restored = TRestore::kNotRestored;
        if (restore_ && !isNew) restored = RestoreRememberedPart(s);
        if (restored == TRestore::kWait) {
            FLastTime.reset();
            return false;
        }
        restore_ = false;
        FLastSize = s;
        if (!isNew && restored == TRestore::kNotRestored) SetPrintedSize(s);
        PrintedPartChanged();
    }
    if (isNew) {
        FLastSize = 0;
        ClearPrintedSize();
    }
    // Overwrite mode: a rewrite of the same length is a new printout, even with equal content.
    if (settings.FileSaveMode > 0 && s == FLastSize && t != FLastTime) {
        FLastSize = 0;
        ClearPrintedSize();
    }
    if (s != FLastSize || t != FLastTime) {
        if (!FChanged) Log(" zmieniony");
        FChanged = true;
        FLastTime = t;
        FLastSize = s;
        if (FPrintedSize > s) {
            ClearPrintedSize();  // shorter than its printed part: print it all again
        } else if (FPrintedSize > 0 && ReadPrefixDigest(FPrintedSize).Digest() != FPrintedDigest) {
            ClearPrintedSize();  // the printed part was rewritten
        }
    }

    // The age counts from the file's own last write, in local time; it is needed only when
    // something may be released.
    std::optional<double> age;
    const auto Age = [&] {
        if (!age) {
            age = LocalSeconds(services_.clock.Now()) - LocalSeconds(time);
        }
        return *age;
    };

    bool ready = false;
    if (FChanged && Age() > settings.WaitBeforePrint) {
        FChanged = false;
        FPrintRest = false;
        ready = true;
    }
    // The unfinished last page that a printout left behind (6 bytes or more) goes out once the
    // file has been quiet for the extra time as well.
    if (FLastSize - 5 > FPrintedSize && settings.WaitForPageMax > 0 &&
        settings.WaitForPageMax < 1000 &&
        Age() > settings.WaitBeforePrint + settings.WaitForPageMax) {
        Log(" Drukowanie resztki");
        FChanged = false;
        FPrintRest = true;
        ready = true;
    }
    return ready;
}

void TFileMonitor::PrintNewData(IPrintEngine& engine, bool fromStart, int fromPage,
                                bool deleteAfter, bool takeAll) {
    if (FIsMask) {
        if (FReadyIndex >= 0 && FReadyIndex < FFileCount) {
            FFiles[static_cast<std::size_t>(FReadyIndex)]->PrintNewData(engine, fromStart, fromPage,
                                                                        deleteAfter, takeAll);
        }
        return;
    }

    // The part is made of the bytes present now. Bytes appended later (also while this part
    // prints) change the file's size or time, so a later check sees them and a later printout
    // takes them from the printed size on.
    std::int64_t start = fromStart ? 0 : FPrintedSize;
    Bytes data;
    {
        const std::unique_ptr<IReadFile> file = services_.files.OpenRead(FFileName);
        file->Seek(static_cast<std::uint64_t>(start));
        // The size seen at the last check is what the file holds unless it changed since.
        data = ReadToEnd(*file,
                         static_cast<std::size_t>(std::max<std::int64_t>(FLastSize - start, 0)));
    }  // closed before printing, so the exclusive-open test of the deletion does not see it
    if (fromStart && fromPage > 1) {
        const std::size_t pageStart = PageStart(data, fromPage);
        data.erase(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(pageStart));
        start = static_cast<std::int64_t>(pageStart);
    }

    // The printout ends with its last page end, or with the last byte when everything is taken.
    // A boundary at index 0 (a single new byte, a lone form feed) prints nothing yet.
    std::size_t last = 0;
    if (takeAll || FPrintRest) {
        if (!data.empty()) last = data.size() - 1;
    } else {
        last = LastPageEnd(data);
    }
    FPrintRest = false;
    if (last == 0) return;

    Log(" start drukowania");
    data.resize(last + 1);
    const TPrintedPart before{FPrintedSize, FPrintedDigest};
    // Counted as printed before printing, so a part whose printing fails is not printed twice.
    const auto printed = static_cast<std::int64_t>(data.size());
    if (incrementalDigest_ && start == FPrintedSize) {
        // The part continues the printed prefix: extending the running digest by it gives the
        // digest of the longer prefix without reading the file again.
        printedMd5_.Update(data);
        FPrintedDigest = printedMd5_.Digest();
        FPrintedSize += printed;
        PrintedPartChanged();
    } else {
        SetPrintedSize(FPrintedSize + printed);
    }

    // The part is recorded as pending before it is sent, with the steps of its delivery as
    // they happen (JobCreated, FileChosen), and as printed once the printer has it, or once it
    // failed (its bytes are kept then), or once it is held for the user's decision.
    const std::string title =
        services_.titles != nullptr ? services_.titles->MakePrintTitle(FFileName) : "";
    if (services_.printedState != nullptr) {
        pendingFrom_ = before;
        pending_ = TPendingPart{
            FPrintedSize,
            FPrintedDigest,
            FPrinterName.empty() ? CurrentPrinterName(services_.printer) : FPrinterName,
            title.empty() ? kDefaultDocumentTitle : title,
            0,
            {}};
        PrintedPartChanged(true);
        StopPoint("part-recorded");
    }
    const auto settle = [&] {
        if (!pending_) return;
        pending_.reset();
        PrintedPartChanged(true);
    };
    bool toPrinter = false;
    try {
        toPrinter = PrintPart(engine, data, title);
    } catch (const PrinterHeldError&) {
        // It waits in a stopped queue, where it can still be lost.
        FollowJob(start, data, title);
        settle();
        throw;
    } catch (...) {
        settle();
        throw;
    }
    StopPoint("part-delivered");
    FollowJob(start, data, title);
    settle();
    Log(toPrinter ? " wydrukowany" : " czeka na decyzję (podgląd przed wydrukiem)");
    if (deleteAfter) DeletePrintedFile();
}

// BeginJob, PrintData and EndJob on the entry's own printer, if it has one. Whatever fails,
// no document stays open (that would hold back every monitor) and the printer that was
// current before is current again; then the error goes on to the caller. The printout keeper
// hears of the printout, printed or failed, and may hold it for the user's decision instead:
// false then.
bool TFileMonitor::PrintPart(IPrintEngine& engine, const Bytes& part, const std::string& title) {
    IPrinterPlatform& printer = services_.printer;
    const bool ownPrinter = !FPrinterName.empty();
    // The platform tells the steps of this document's delivery, and of no other.
    struct Listening {
        IPrinterPlatform& printer;
        ~Listening() { printer.SetDeliveryListener(nullptr); }
    } listening{printer};
    printer.SetDeliveryListener(this);
    job_ = 0;
    jobQueue_.clear();
    keptId_.clear();
    TPrintoutFacts facts{FFileName, title, FPrinterName, std::nullopt};
    int remembered = -1;
    if (ownPrinter) {
        remembered = printer.PrinterIndex();
        try {
            printer.SetPrinterIndex(FindPrinterByName(printer, FPrinterName));
        } catch (const std::exception& e) {
            ThrowKept(e, facts, part);
        }
    }
    const bool keepState = FHasPrinted && services_.settings.KeepState;
    facts.printer = CurrentPrinterName(printer);
    if (keepState) facts.carriedStatus = FPrinterState;
    if (services_.printouts != nullptr && services_.printouts->HoldBeforePrinting(facts, part)) {
        if (ownPrinter) printer.SetPrinterIndex(remembered);
        return false;
    }
    const bool documentBefore = printer.Printing();
    try {
        engine.BeginJob(title);
        engine.PrintData(part, 0, keepState, services_.settings.IgnorePcl, FPrinterState);
        FHasPrinted = true;
        engine.EndJob();
    } catch (const std::exception& e) {
        if (!documentBefore) printer.AbortDoc();
        if (ownPrinter) {
            try {
                printer.SetPrinterIndex(remembered);
            } catch (...) {
                // The print error is the one to report.
            }
        }
        ThrowKept(e, facts, part, engine.Pages());
    }
    if (services_.printouts != nullptr) {
        keptId_ = services_.printouts->Printed(facts, part, engine.Pages(),
                                               printer.LastOutputFile().string(), {});
    }
    if (ownPrinter) printer.SetPrinterIndex(remembered);
    return true;
}

void TFileMonitor::FollowJob(std::int64_t start, const Bytes& part, const std::string& title) {
    if (job_ == 0 || services_.follower == nullptr) return;
    services_.follower->Follow({job_,
                                jobQueue_,
                                title.empty() ? kDefaultDocumentTitle : title,
                                FFileName,
                                start,
                                start + static_cast<std::int64_t>(part.size()),
                                {},
                                keptId_},
                               part);
}

void TFileMonitor::JobCreated(const std::string& queue, int job) {
    job_ = job;
    jobQueue_ = queue;
    if (!pending_) return;
    pending_->printer = queue;
    pending_->job = job;
    PrintedPartChanged(true);
    StopPoint("job-recorded");
}

void TFileMonitor::FileChosen(const std::filesystem::path& path) {
    if (!pending_) return;
    pending_->file = path.string();
    PrintedPartChanged(true);
    StopPoint("file-recorded");
}

// The part counts as printed already; so that it is not lost, its bytes are kept in a file of
// their own, which the error names. The error keeps its kind.
void TFileMonitor::ThrowKept(const std::exception& error, const TPrintoutFacts& facts,
                             const Bytes& part, int pages) {
    std::string message = error.what();
    // A document held in a stopped queue prints once the queue is resumed.
    if (dynamic_cast<const PrinterHeldError*>(&error) != nullptr) {
        if (services_.printouts != nullptr) {
            keptId_ = services_.printouts->Printed(facts, part, pages, {}, message);
        }
        throw PrinterHeldError(message);
    }
    TFailedPrintout printout{FFileName,
                             facts.title.empty() ? kDefaultDocumentTitle : facts.title,
                             facts.printer,
                             message,
                             {}};
    message += KeepFailedPrintout(services_, printout, part);
    if (services_.printouts != nullptr) {
        services_.printouts->Failed(facts, part, error.what(), printout.kept.string());
    }
    if (dynamic_cast<const PrinterError*>(&error) != nullptr) throw PrinterError(message);
    if (dynamic_cast<const FileError*>(&error) != nullptr) throw FileError(message);
    throw std::runtime_error(message);
}

void TFileMonitor::DeletePrintedFile() {
    try {
        services_.files.TestExclusiveOpen(FFileName);
    } catch (const FileError& e) {
        services_.history.Add(FFileName + " nieudane usunięcie:" + e.what());
        return;
    }
    if (!services_.files.Delete(FFileName)) return;
    FLastSize = 0;
    ClearPrintedSize();
    Log(" usunięty");
}

}  // namespace quernel
