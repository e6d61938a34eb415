#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/Clock.h"
#include "monitor/Md5.h"

namespace quernel {

// How much of a monitored file was printed: its first `size` bytes, whose digest is `digest`.
struct TPrintedPart {
    std::int64_t size = 0;
    TDigest digest{};
    bool operator==(const TPrintedPart&) const = default;
};

// A part handed to a printer whose delivery is not known to be complete: the bytes from the
// printed size up to `end`. Recorded before the part is sent, so that a stop at any moment
// leaves enough to decide at the next start whether it printed.
struct TPendingPart {
    std::int64_t end = 0;
    TDigest digest{};     // of the file's first `end` bytes
    std::string printer;  // the queue, or the built-in PDF printer
    std::string title;    // the document's title
    int job = 0;          // the print system's job, once created (before its document is sent)
    std::string file;     // the document's final file name, once chosen (before it is renamed)
    bool operator==(const TPendingPart&) const = default;
};

// What is known of one monitored file.
struct TRememberedFile {
    TPrintedPart printed;
    std::optional<TPendingPart> pending;
    bool operator==(const TRememberedFile&) const = default;
};

// A print-system job that took a part of a monitored file and has not been seen completed:
// if it ends without printing, the part is kept as a failed printout.
struct TFollowedJob {
    int job = 0;
    std::string printer;
    std::string title;
    std::string path;  // the monitored file
    std::int64_t start = 0;
    std::int64_t end = 0;
    TDigest digest{};  // of the part's bytes
    std::string kept;  // the printout's id among the kept printouts; empty when not kept
    bool operator==(const TFollowedJob&) const = default;
};

// Everything the state file holds.
struct TStateRecord {
    std::map<std::string, TRememberedFile> files;
    std::vector<TFollowedJob> jobs;
    bool operator==(const TStateRecord&) const = default;
};

// What a load found wrong with the state file; empty `what` when it was sound (or missing).
struct TStateDamage {
    std::string what;              // why the file cannot be trusted as a whole
    std::filesystem::path keptAs;  // the damaged file's copy, for inspection
    std::string copyError;         // why no copy could be kept
    bool Damaged() const { return !what.empty(); }
};

// The printed parts of every monitored file, kept across restarts in one small text file: a
// header line, one line per record with tab-separated fields (text fields with "\", tab, CR
// and LF escaped), and an end line with the number of records, so that a cut file is told
// from a complete one. The file is written under another name, synchronised with its folder
// and renamed into place, so a stop or a power cut at any moment leaves either the old or the
// new state.
//
// When the file cannot be written (a full or read-only folder), the state goes to the
// fallback file instead (in the runtime folder, which lives until the computer stops), which
// a load prefers while it exists: a successful write of the file removes it.
class TPrintedState {
  public:
    // An empty path keeps nothing; an empty fallback has none.
    explicit TPrintedState(std::filesystem::path file, std::filesystem::path fallback = {});

    bool Enabled() const { return !file_.empty(); }
    const std::filesystem::path& File() const { return file_; }

    // Reads the state. Damaged lines are skipped, the rest is kept (each record is checked
    // against its file before it is used); a damaged file is copied beside it as
    // "<name>.bad-<date>" and described by Damage().
    void Load(const LocalDateTime& now);
    std::optional<TRememberedFile> Remembered(const std::string& path) const;
    const std::vector<TFollowedJob>& FollowedJobs() const { return record_.jobs; }
    const TStateDamage& Damage() const { return damage_; }

    enum class SaveResult { kSaved, kSavedInFallback };
    // Writes the state. When the file cannot be written, the fallback gets it and the answer
    // says so, with the file's error in `error`; when neither can, FileError.
    SaveResult Save(const TStateRecord& record, std::string* error = nullptr) const;

    // The text of the state file for the record, and the record read from such a text.
    static std::string Format(const TStateRecord& record);
    static TStateRecord Parse(const std::string& text, std::string* damage);

  private:
    bool LoadFrom(const std::filesystem::path& file, TStateRecord& record, std::string& damage);

    std::filesystem::path file_;
    std::filesystem::path fallback_;
    TStateRecord record_;
    TStateDamage damage_;
};

}  // namespace quernel
