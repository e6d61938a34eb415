#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "host/Clock.h"
#include "host/FileUtil.h"

namespace quernel {

// A file being written under a temporary name in its final folder. Commit moves it into place
// in one rename, so a half-written file never shows under the final name; otherwise the
// temporary file is removed (Discard, or destruction without Commit). A target that is not a
// regular file (a link, a pipe, a device, the standard output) is written into directly.
class TPendingOutputFile {
  public:
    // Will become `<stem><extension>` in `folder` (created when missing), or, when that name is
    // taken at commit time, `<stem>_2<extension>`, `<stem>_3<extension>`, ...: an existing file
    // is never replaced. Throws PrinterError.
    static TPendingOutputFile InFolder(const std::filesystem::path& folder, std::string stem,
                                       std::string extension);
    // Will become exactly `path`: a new name, or a regular file replaced in one rename. A link
    // stays a link and the file it names gets the bytes; a pipe or a device gets them as they
    // are written; "-" is the standard output. Throws PrinterError.
    static TPendingOutputFile Exactly(const std::filesystem::path& path);

    TPendingOutputFile(TPendingOutputFile&& other) noexcept;
    TPendingOutputFile& operator=(TPendingOutputFile&& other) noexcept;
    TPendingOutputFile(const TPendingOutputFile&) = delete;
    TPendingOutputFile& operator=(const TPendingOutputFile&) = delete;
    ~TPendingOutputFile();

    // The file being written; for a target written directly, the target.
    const std::filesystem::path& TempPath() const { return direct_ ? target_ : temp_; }

    // Appends to the temporary file; false (with the reason in errno) when the write failed.
    bool Write(const void* data, std::size_t size);

    // Closes the temporary file and moves it to its final name, which it answers; the file and
    // its folder reach the disk. `beforeRename` learns the final name (each one tried) just
    // before the rename. On failure the temporary file is removed and PrinterError raised.
    std::filesystem::path Commit(
        const std::function<void(const std::filesystem::path&)>& beforeRename = {});
    // Removes the temporary file; never throws.
    void Discard() noexcept;

  private:
    TPendingOutputFile(std::filesystem::path folder, std::string stem, std::string extension,
                       bool replace);
    // Writes straight into the open descriptor of `target`.
    TPendingOutputFile(std::filesystem::path target, int fd);
    std::filesystem::path CommitDirect();
    void CloseFd() noexcept;

    std::filesystem::path folder_;
    std::string stem_;
    std::string extension_;
    bool replace_ = false;
    std::filesystem::path temp_;
    int fd_ = -1;
    // Written directly into `target_`; `written_` bytes so far.
    bool direct_ = false;
    std::filesystem::path target_;
    std::uint64_t written_ = 0;
};

}  // namespace quernel
