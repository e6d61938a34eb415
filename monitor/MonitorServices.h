#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/QN_Print.h"
#include "host/Bytes.h"
#include "host/Clock.h"

namespace quernel {

class IClock;
class IPrintJobs;
class IPrinterPlatform;
class TbwLog;
class TJobFollower;

// Values published from the settings that every file monitor reads.
struct TMonitorSettings {
    double WaitBeforePrint = 3;  // seconds a changed file must be quiet before it prints
    double WaitForPageMax = 30;  // extra seconds after which an unfinished page prints anyway
    int FileSaveMode = 0;        // 0 the DOS program appends, 1 it overwrites
    bool KeepState = true;       // attributes carry over to the file's next printout
    bool IgnorePcl = false;      // passed to the print engine
    int CommandSet = 0;          // the printer language beyond the table, for the print job
};

// A file as directory lookup finds it.
struct TFoundFile {
    std::string name;        // the file name, without its folder
    std::uint64_t size = 0;  // bytes
    TimePoint modified{};    // last write, at the file system's full resolution
    // False for a pipe, a device or a socket: it is there but cannot be read as a file. False
    // too for a link that is not followed (see TPosixFileSystem).
    bool regular = true;
    // Why a name found with `regular` false cannot be read; none: it is not a regular file.
    const char* refusal = nullptr;
};

// A file opened for reading while other programs may still write it.
class IReadFile {
  public:
    virtual ~IReadFile() = default;
    virtual void Seek(std::uint64_t position) = 0;
    // Reads up to size bytes; answers how many were read (fewer only at the end of the file).
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t size) = 0;
};

// What the monitors use of the file system. Paths use "/" between folders. Failures to open
// or read raise FileError with a text for the user.
class IFileSystem {
  public:
    virtual ~IFileSystem() = default;
    // The non-hidden file at the path; nothing when it does not exist or is a folder. A pipe,
    // a device or a socket is found with `regular` false.
    virtual std::optional<TFoundFile> Find(const std::string& path) = 0;
    // The regular, non-hidden files matching "<folder>/<mask>" ("*" and "?" without regard to
    // case; "*.*" matches every name), in the order the file system lists them.
    virtual std::vector<TFoundFile> Enumerate(const std::string& pathWithMask) = 0;
    // Opens for reading with full sharing.
    virtual std::unique_ptr<IReadFile> OpenRead(const std::string& path) = 0;
    // Opens for reading and writing exclusively and closes again at once: fails with
    // "Cannot open file "<path>". <reason>" while another process holds the file open or
    // when it is read-only.
    virtual void TestExclusiveOpen(const std::string& path) = 0;
    // Deletes the file; false when that failed.
    virtual bool Delete(const std::string& path) = 0;
};

// The document title of a printout of the file.
class ITitleMaker {
  public:
    virtual ~ITitleMaker() = default;
    virtual std::string MakePrintTitle(const std::string& fileName) = 0;
};

struct TRememberedFile;

// What a file monitor knows of a printout it hands to the printer.
struct TPrintoutFacts {
    std::string file;     // the file it comes from
    std::string title;    // the document title
    std::string printer;  // the printer it prints on
    // The attribute state it starts from when it carries on from the file's last printout.
    std::optional<TPrinterStatus> carriedStatus;
};

// Told of every printout a file monitor handles, so that it can be kept and shown again.
class IPrintoutKeeper {
  public:
    virtual ~IPrintoutKeeper() = default;
    // Asked before the printout prints: true when it is to wait for the user's decision
    // instead (it is kept then, and counts as handled).
    virtual bool HoldBeforePrinting(const TPrintoutFacts& facts, ByteView data) = 0;
    // The printout went to the printer: its page count (0 when not known) and the file it was
    // written to, if any. Answers the kept printout's id; empty when it was not kept.
    virtual std::string Printed(const TPrintoutFacts& facts, ByteView data, int pages,
                                const std::string& outputFile, const std::string& note) = 0;
    // The printout failed with the error; `keptFile` is the copy of its bytes, if one was made.
    virtual void Failed(const TPrintoutFacts& facts, ByteView data, const std::string& error,
                        const std::string& keptFile) = 0;
    // A printout that went to the printer (kept as `id`, when not empty) was lost by the print
    // system afterwards: it counts as failed.
    virtual void Lost(const std::string& id, const TPrintoutFacts& facts, ByteView data,
                      const std::string& error, const std::string& keptFile) = 0;
};

// Keeps what was printed of the monitored files across restarts.
class IPrintedStateKeeper {
  public:
    virtual ~IPrintedStateKeeper() = default;
    // What the last run knew of the file, if it was monitored then.
    virtual std::optional<TRememberedFile> Remembered(const std::string& path) = 0;
    // Why the last run's state cannot vouch for files it has no record of (its file was
    // damaged); empty when it can.
    virtual std::string RememberedDamage() = 0;
    // Something the user must learn (the history and the error report): content that counts
    // as printed although it may not be, a printout lost by the print system.
    virtual void Report(const std::string& message) = 0;
    // The printed part of a monitored file changed; after a printout the state is written at
    // once, other changes with the next write.
    virtual void PrintedPartChanged(bool afterPrintout) = 0;
};

// A printout that did not print: refused or failed while it was sent, or lost by the print
// system afterwards. Its bytes are kept in the folder of failed printouts, so that it can be
// printed again once the cause is mended.
struct TFailedPrintout {
    std::string source;          // the monitored file, or the file printed by hand
    std::string title;           // the document's title
    std::string printer;         // the printer it was for
    std::string error;           // what happened, for the user
    std::filesystem::path kept;  // the kept copy; empty when none could be made
};

// Told of every printout that ends without printing, once its bytes are kept.
class IPrintoutOutcomes {
  public:
    virtual ~IPrintoutOutcomes() = default;
    virtual void PrintoutFailed(const TFailedPrintout& printout) = 0;
};

// What a file monitor uses of the process.
struct TMonitorServices {
    IFileSystem& files;
    const IClock& clock;
    TbwLog& history;
    IPrinterPlatform& printer;
    const TMonitorSettings& settings;
    ITitleMaker* titles = nullptr;  // none: the title is empty
    // Where a printout that failed to print is kept as "<title>_<date>_<time>.prn", so that it
    // can be printed once the cause is mended; empty: it is not kept.
    std::filesystem::path failedFolder = {};
    IPrintedStateKeeper* printedState = nullptr;  // none: nothing is kept across restarts
    // What became of the jobs handed to the print system; none: it is not asked.
    IPrintJobs* jobs = nullptr;
    IPrintoutOutcomes* outcomes = nullptr;  // none: nobody is told
    IPrintoutKeeper* printouts = nullptr;   // none: printouts are not kept
    // Follows the print-system jobs that took printouts; none: they are not followed.
    TJobFollower* follower = nullptr;
};

}  // namespace quernel
