#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/QN_Print.h"
#include "monitor/Md5.h"
#include "monitor/MonitorServices.h"
#include "monitor/PrintedState.h"

namespace quernel {

// One monitored file, or one folder with a file mask. It decides from the file's size,
// last-write time and content when a new part of a printout is complete, and hands exactly the
// bytes not printed yet to the print engine. A file that is only appended to is printed piece
// by piece; a file whose printed part was rewritten is printed again from its start.
//
// Built from an entry text: a path, or a path, "::" and a printer name. A path containing "*"
// or "?" is a folder with a mask; the monitor then keeps one child monitor per matching file.
//
// A part is delivered in recorded steps (see IDeliveryListener): before it is sent it is
// recorded as pending in the printed state, then with its print-system job or its file once
// there is one, and as printed once the printer has it. A program stopped at any step finds at
// its next start whether the part reached the printer, and prints it again only if it did not.
class TFileMonitor final : private IDeliveryListener {
  public:
    // Sizes and times not seen yet.
    static constexpr std::int64_t kUnseen = -1;
    static constexpr int kInitialCapacity = 32;

    // With deleteOnStart the file (or every matching file of the folder) is deleted now, when
    // nobody holds it open; failures are ignored.
    TFileMonitor(TMonitorServices& services, const std::string& entryText, bool deleteOnStart);
    ~TFileMonitor();
    TFileMonitor(const TFileMonitor&) = delete;
    TFileMonitor& operator=(const TFileMonitor&) = delete;

    // A printout is due now. False at once while a document is being printed. File errors
    // (a prefix that cannot be read for its digest) propagate; what was seen stays remembered.
    bool IsReady();

    // Prints the bytes not printed yet (fromStart false) or the file from the start of page
    // fromPage (fromStart true), up to the last page end unless takeAll. The part counts as
    // printed before it is printed; a failure of the print engine aborts the document,
    // selects the remembered printer again and propagates.
    void PrintNewData(IPrintEngine& engine, bool fromStart, int fromPage, bool deleteAfter,
                      bool takeAll);

    // The printout IsReady just released cannot print now (its printer is missing): the next
    // IsReady releases it again.
    void HoldRelease();

    // Sets the printed size and recomputes the digest by reading that many bytes of the file.
    void SetPrintedSize(std::int64_t size);

    // Started by the monitored list at start-up: at its first sight of the file, when the file
    // still begins with the part printed before the restart, what follows is printed;
    // otherwise the present content counts as printed (for a folder: its files present now).
    void RestoreAfterRestart();

    // What is printed of the file (for a folder: of each of its files) as the printed state
    // keeps it: files seen now, and files still to be seen with what the last run remembered.
    void CollectPrintedParts(std::map<std::string, TRememberedFile>& parts) const;

    // After a printout the digest is normally extended by the bytes just printed; switched off,
    // the whole printed prefix is read again instead (kept for measurements).
    void SetIncrementalDigest(bool on);

    const std::string& FileName() const { return FFileName; }
    const std::string& PrinterName() const { return FPrinterName; }
    bool IsMask() const { return FIsMask; }
    // kUnseen until the file was seen once.
    std::int64_t LastSize() const { return FLastSize; }
    // The last-write time when a change was last seen; nothing until the file was seen once.
    const std::optional<TimePoint>& LastTime() const { return FLastTime; }
    std::int64_t PrintedSize() const { return FPrintedSize; }
    const TDigest& PrintedDigest() const { return FPrintedDigest; }
    bool Changed() const { return FChanged; }
    bool PrintRest() const { return FPrintRest; }
    bool HasPrinted() const { return FHasPrinted; }
    const TPrinterStatus& PrinterState() const { return FPrinterState; }
    // Folder mode.
    int FileCount() const { return FFileCount; }
    int FileCapacity() const { return FFileCapacity; }
    int ReadyIndex() const { return FReadyIndex; }
    const TFileMonitor& File(int index) const {
        return *FFiles.at(static_cast<std::size_t>(index));
    }
    // The text up to and including the last "/" of the path ("" when there is none).
    const std::string& FolderPart() const { return folderPart_; }

  private:
    bool CheckFileState(std::uint64_t size, TimePoint time, bool isNew);
    int AddFolderFile(const std::string& fullPath);
    void DeletePrintedFile();
    void TryDeleteOnStart(const std::string& path);
    bool PrintPart(IPrintEngine& engine, const Bytes& part, const std::string& title);
    // The job that took the part just printed (from `start` of the file) is followed until
    // it completes.
    void FollowJob(std::int64_t start, const Bytes& part, const std::string& title);
    [[noreturn]] void ThrowKept(const std::exception& error, const TPrintoutFacts& facts,
                                const Bytes& part, int pages = 0);
    // The running digest of the file's first `size` bytes, read now.
    TMd5 ReadPrefixDigest(std::int64_t size);
    void ClearPrintedSize();
    // First sight with RestoreAfterRestart: takes the remembered printed part when the file
    // still begins with it (and the part that was pending, when it reached the printer).
    enum class TRestore { kRestored, kNotRestored, kWait };
    TRestore RestoreRememberedPart(std::int64_t size);
    // Whether the part the last run left pending reached the printer; kUnknown while the
    // print system cannot be asked.
    enum class TPendingFate { kPrinted, kNotPrinted, kLost, kUnknown };
    TPendingFate ResolvePending(const TPendingPart& part, std::string& why);
    // A pending part that reached the print system and was lost there is kept as a failed
    // printout and reported.
    void KeepLostPart(std::int64_t from, const TPendingPart& part, const std::string& why);
    // IDeliveryListener: each step of the part being printed is recorded before the next.
    void JobCreated(const std::string& queue, int job) override;
    void FileChosen(const std::filesystem::path& path) override;
    void PrintedPartChanged(bool afterPrintout = false);
    void Log(const char* text);

    TMonitorServices& services_;

    std::string FFileName;
    std::string FPrinterName;
    std::int64_t FLastSize = kUnseen;
    std::optional<TimePoint> FLastTime;
    std::int64_t FPrintedSize = 0;
    TDigest FPrintedDigest{};
    bool FChanged = false;
    bool FIsMask = false;
    std::vector<std::unique_ptr<TFileMonitor>> FFiles;
    int FFileCount = 0;
    int FFileCapacity = 0;
    int FReadyIndex = -1;
    TPrinterStatus FPrinterState;
    bool FHasPrinted = false;
    bool FPrintRest = false;

    // The digest of the printed prefix as a running state, so it can be extended.
    TMd5 printedMd5_;
    bool incrementalDigest_ = true;
    std::string folderPart_;
    // Something other than a regular file stands under the name and was reported.
    bool notRegularReported_ = false;
    // The first sight looks at what the last run printed.
    bool restore_ = false;
    // When the first sight began to wait for the print system's word on a pending part.
    std::optional<TimePoint> restoreWaitSince_;
    // The part being printed, recorded as pending, and the printed part before it.
    std::optional<TPendingPart> pending_;
    TPrintedPart pendingFrom_;
    // The print-system job of the document being printed (0: none) and its queue, and the
    // printout's id among the kept printouts.
    int job_ = 0;
    std::string jobQueue_;
    std::string keptId_;
    // Folder mode: child index by file name, so a check of a large folder stays linear.
    std::unordered_map<std::string, int> childByName_;
};

}  // namespace quernel
