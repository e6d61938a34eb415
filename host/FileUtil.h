#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/Clock.h"

#include "host/Bytes.h"

namespace quernel {

// A file that could not be opened, read or written; the text is ready to show to the user.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An open file descriptor, closed with its owner.
class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

// The system's text for an errno value.
std::string ErrnoText(int error);

// "Cannot open file "<path>". <reason>"
std::string CannotOpenFileMessage(const std::filesystem::path& path, const std::string& reason);

// Why a pipe, a device, a socket or a folder cannot be opened as a file.
inline constexpr const char* kNotRegularFileReason = "It is not a regular file.";
// Why a link that another user placed in a folder others may write is not followed.
inline constexpr const char* kUntrustedLinkReason =
    "It is a link of another user in a folder other users may write.";

// Opens a regular file (flags O_RDONLY or O_RDWR) without ever waiting: anything else, a pipe
// that would wait for a writer included, is refused with FileError ("Cannot open file ...
// It is not a regular file."), as is a file that cannot be opened.
UniqueFd OpenRegularFile(const std::filesystem::path& path, int flags);

// The whole file; throws FileError.
Bytes ReadWholeFile(const std::filesystem::path& path);

// At most maxBytes from the start of the file; throws FileError.
Bytes ReadFilePrefix(const std::filesystem::path& path, std::size_t maxBytes);

// A document title made usable as a file name: "/", NUL and control characters become "_",
// so do leading dots; an empty title gives "Quernel". Long titles are cut at 200 bytes.
std::string SafeFileTitle(std::string_view title);

// "<safe title>_YYYY-MM-DD_HH-MM-SS" for a document started at `time` (local time).
std::string DocumentFileStem(std::string_view title, const LocalDateTime& time);

// Creates `<stem><extension>` in `folder` (created when missing) with the data, or, when that
// name is taken, `<stem>_2<extension>`, `<stem>_3<extension>`, ...: an existing file is never
// replaced. Answers the file's path; throws FileError.
std::filesystem::path WriteNewFile(const std::filesystem::path& folder, const std::string& stem,
                                   const std::string& extension, ByteView data);

// Writes the file under a temporary name in the same folder and renames it into place, so a
// failed write never leaves a cut file under the real name; throws FileError. With `sync` the
// data reaches the disk before the rename and the folder after it (surviving a power cut, not
// only a stopped program).
void WriteFileAtomic(const std::filesystem::path& path, ByteView data, bool sync = true);

// Copies a damaged file beside it as "<name>.bad-YYYY-MM-DD_HH-MM-SS" (local time `now`; "_2",
// "_3", ... when taken), never over another copy; answers the copy's path, or an empty path
// with the reason in `error`.
std::filesystem::path KeepDamagedCopy(const std::filesystem::path& file, const LocalDateTime& now,
                                      std::string& error);

// Makes the folder's entries (a file created or renamed in it) durable; false with errno.
bool SyncFolder(const std::filesystem::path& folder);

}  // namespace quernel
