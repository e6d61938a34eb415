#include "monitor/QN_File.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

#include "engine/PrinterPlatform.h"
#include "host/BW_log.h"
#include "host/Clock.h"
#include "host/FileUtil.h"

namespace quernel {

namespace {

// Files are read in blocks of this size (a multiple of 16384).
constexpr std::size_t kReadBlock = 65536;

constexpr std::uint8_t kFormFeed = 0x0C;
constexpr std::uint8_t kDosEndOfFile = 0x1A;

bool IsPageEnd(std::uint8_t b) {
    return b == kFormFeed || b == kDosEndOfFile;
}

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

void TFileMonitor::CollectPrintedParts(std::map<std::string, TPrintedPart>& parts) const {
    if (FIsMask) {
        for (const auto& child : FFiles) child->CollectPrintedParts(parts);
        return;
    }
    if (FLastSize != kUnseen) {
        parts.insert_or_assign(FFileName, TPrintedPart{FPrintedSize, FPrintedDigest});
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

bool TFileMonitor::RestoreRememberedPart(std::int64_t size) {
    if (services_.printedState == nullptr) return false;
    const auto part = services_.printedState->Remembered(FFileName);
    if (!part || part->size > size) return false;
    TMd5 md5 = part->size > 0 ? ReadPrefixDigest(part->size) : TMd5();
    if (md5.Digest() != part->digest) return false;
    FPrintedSize = part->size;
    FPrintedDigest = part->digest;
    printedMd5_ = std::move(md5);
    if (size > part->size) {
        // Written while the program was away, or not yet released when it stopped: it prints
        // once the file has been quiet for the wait (counted from its last write).
        Log(" zmieniony");
        FChanged = true;
    }
    return true;
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
            throw FileError(CannotOpenFileMessage(FFileName, kNotRegularFileReason));
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
        // instead, so its prefix need not be read.
        FLastSize = s;
        const bool restore = std::exchange(restore_, false);
        if (!isNew && !(restore && RestoreRememberedPart(s))) SetPrintedSize(s);
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

    // The state is written after the printout, failed or not: a stop during it prints the
    // part again at the next start rather than losing it.
    bool toPrinter = false;
    try {
        toPrinter = PrintPart(engine, data);
    } catch (...) {
        PrintedPartChanged(true);
        throw;
    }
    PrintedPartChanged(true);
    Log(toPrinter ? " wydrukowany" : " czeka na decyzję (podgląd przed wydrukiem)");
    if (deleteAfter) DeletePrintedFile();
}

// BeginJob, PrintData and EndJob on the entry's own printer, if it has one. Whatever fails,
// no document stays open (that would hold back every monitor) and the printer that was
// current before is current again; then the error goes on to the caller. The printout keeper
// hears of the printout, printed or failed, and may hold it for the user's decision instead:
// false then.
bool TFileMonitor::PrintPart(IPrintEngine& engine, const Bytes& part) {
    IPrinterPlatform& printer = services_.printer;
    const bool ownPrinter = !FPrinterName.empty();
    const std::string title =
        services_.titles != nullptr ? services_.titles->MakePrintTitle(FFileName) : "";
    TPrintoutFacts facts{FFileName, title, {}, std::nullopt};
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
        services_.printouts->Printed(facts, part, engine.Pages(), printer.LastOutputFile().string(),
                                     {});
    }
    if (ownPrinter) printer.SetPrinterIndex(remembered);
    return true;
}

// The part counts as printed already; so that it is not lost, its bytes are kept in a file of
// their own, which the error names. The error keeps its kind.
void TFileMonitor::ThrowKept(const std::exception& error, const TPrintoutFacts& facts,
                             const Bytes& part, int pages) {
    std::string message = error.what();
    // A document held in a stopped queue prints once the queue is resumed.
    if (dynamic_cast<const PrinterHeldError*>(&error) != nullptr) {
        if (services_.printouts != nullptr) {
            services_.printouts->Printed(facts, part, pages, {}, message);
        }
        throw PrinterHeldError(message);
    }
    std::string keptFile;
    if (!services_.failedFolder.empty()) {
        try {
            const std::filesystem::path kept = WriteNewFile(
                services_.failedFolder,
                DocumentFileStem(facts.title.empty() ? kDefaultDocumentTitle : facts.title,
                                 ToLocal(services_.clock.Now())),
                ".prn", part);
            keptFile = kept.string();
            message += "\nWydruk zachowano w pliku " + keptFile;
        } catch (const std::exception& e) {
            message += "\nWydruku nie udało się zachować: ";
            message += e.what();
        }
    }
    if (services_.printouts != nullptr) {
        services_.printouts->Failed(facts, part, error.what(), keptFile);
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
