#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/PrintJobSetup.h"
#include "host/Bytes.h"
#include "host/Clock.h"

namespace quernel {

class TbwLog;

// A file of the printouts' folder.
struct TStoredFile {
    std::string name;
    std::uint64_t size = 0;
};

// The folder the kept printouts live in. Failures to read or write raise FileError with a text
// for the user.
class IPrintoutFolder {
  public:
    virtual ~IPrintoutFolder() = default;
    // The regular files of the folder; none when it does not exist yet.
    virtual std::vector<TStoredFile> List() = 0;
    virtual Bytes Read(const std::string& name) = 0;
    // Replaces the file in one step (written under another name, then renamed), creating the
    // folder when needed: a stop at any moment leaves the old file or the new one.
    virtual void Write(const std::string& name, ByteView data) = 0;
    // Deletes the file; a missing file is not an error.
    virtual void Remove(const std::string& name) = 0;
    // The file's path, for the user.
    virtual std::string PathOf(const std::string& name) const = 0;
};

enum class TPrintoutResult {
    kPrinted,    // handed to the printer (or written as a PDF)
    kFailed,     // failed; kept until the user prints it again or deletes it
    kWaiting,    // waits for the user's decision before it prints
    kDiscarded,  // the user decided not to print it
};

std::string_view PrintoutResultName(TPrintoutResult result);  // "Wydrukowany", ...

// One kept printout: what Quernel knew about it, and the set-up it printed with.
struct TPrintoutRecord {
    std::string id;  // names its files "<id>.prn" (the bytes) and "<id>.rec" (this record)
    TimePoint time{};
    std::string source;  // the monitored file; empty: printed by hand
    std::string title;
    std::string printer;
    int pages = 0;  // 0: not known (direct printing)
    int copies = 1;
    TPrintoutResult result = TPrintoutResult::kPrinted;
    std::string error;
    std::string outputFile;  // the PDF of "Quernel PDF"; empty when none
    std::uint64_t size = 0;  // bytes of the printout
    TPrintJobSetup setup;

    // A failed printout, or one waiting for a decision, is neither counted in the limits nor
    // removed by them.
    bool Protected() const {
        return result == TPrintoutResult::kFailed || result == TPrintoutResult::kWaiting;
    }
    // The record as its file holds it, and back; nothing for a damaged one.
    std::string ToText() const;
    static std::optional<TPrintoutRecord> FromText(std::string_view text, std::string* why);
};

// How many printouts are kept, and how many megabytes of them.
struct TPrintoutLimits {
    int count = 200;
    int megabytes = 500;
};

// The printouts Quernel handled, newest first, kept in a folder of their own: each as its
// bytes and a record, written bytes first, each file replaced in one step, so a stop at any
// moment leaves either no record or a complete one. The oldest go first once there are more
// than the limits allow; failed printouts and those waiting for a decision stay until the user
// deals with them. A damaged record is skipped and said once in the history.
class TPrintoutStore {
  public:
    // Without a folder nothing is kept.
    TPrintoutStore(IPrintoutFolder* folder, const IClock& clock, TbwLog& history);

    bool Enabled() const { return folder_ != nullptr; }

    // Reads the folder again. Bytes left without a record (a stop between the two writes) are
    // deleted: their printout was not counted as handled and prints again.
    void Load();
    const std::vector<TPrintoutRecord>& Records() const { return records_; }
    const TPrintoutRecord* Find(const std::string& id) const;
    // The printouts waiting for a decision, oldest first.
    std::vector<std::string> Waiting() const;

    // Keeps a printout; the record gets an id, the time and the size. Answers the id; throws
    // FileError when it could not be written (nothing is kept then).
    std::string Add(TPrintoutRecord record, ByteView data);
    // Writes a changed record (found by its id); throws FileError.
    void Update(const TPrintoutRecord& record);
    // The printout's bytes; throws FileError.
    Bytes Data(const std::string& id);
    // The path of the printout's bytes.
    std::string DataPath(const std::string& id) const;
    void Remove(const std::string& id);

    void SetLimits(TPrintoutLimits limits);
    const TPrintoutLimits& Limits() const { return limits_; }

    // Called after every change of the list.
    std::function<void()> onChanged;

  private:
    std::string NewId(TimePoint time) const;
    void ApplyLimits();
    void Changed();
    void Sort();

    IPrintoutFolder* folder_;
    const IClock& clock_;
    TbwLog& history_;
    TPrintoutLimits limits_;
    std::vector<TPrintoutRecord> records_;
    // Damaged records already said in the history.
    std::set<std::string> reported_;
};

}  // namespace quernel
