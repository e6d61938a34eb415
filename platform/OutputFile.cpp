#include "platform/OutputFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

#include "engine/PrinterPlatform.h"

namespace quernel {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxCounter = 9999;

std::string Quoted(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

// Renames without ever replacing `to`; false with errno set (EEXIST when `to` exists).
bool RenameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) return false;
    // No hard links either (FAT): check, then rename; a race here is the best such a file
    // system allows.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

TPendingOutputFile::TPendingOutputFile(fs::path folder, std::string stem, std::string extension,
                                       bool replace)
    : folder_(std::move(folder)),
      stem_(std::move(stem)),
      extension_(std::move(extension)),
      replace_(replace) {
    std::string pattern = (folder_ / ".quernel-XXXXXX.part").string();
    fd_ = ::mkstemps(pattern.data(), 5);
    if (fd_ < 0) {
        throw PrinterError("Cannot create a file in the folder " + Quoted(folder_) + ": " +
                           std::strerror(errno));
    }
    temp_ = pattern;
    // mkstemp creates the file for its owner only; the document gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
}

TPendingOutputFile TPendingOutputFile::InFolder(const fs::path& folder, std::string stem,
                                                std::string extension) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        throw PrinterError("Cannot create the folder " + Quoted(folder) + ": " + ec.message());
    }
    return TPendingOutputFile(folder, std::move(stem), std::move(extension), false);
}

TPendingOutputFile::TPendingOutputFile(fs::path target, int fd)
    : fd_(fd), direct_(true), target_(std::move(target)) {}

TPendingOutputFile TPendingOutputFile::Exactly(const fs::path& path) {
    if (path == "-") {
        const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            throw PrinterError(std::string("Cannot write to the standard output: ") +
                               std::strerror(errno));
        }
        return TPendingOutputFile(path, fd);
    }
    // Renaming over anything but a regular file would replace a link, a pipe or a device (as
    // root even /dev/null) by a file: those are written into instead.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0) {
            throw PrinterError("Cannot write the file " + Quoted(path) + ": " +
                               std::strerror(errno));
        }
        return TPendingOutputFile(path, fd);
    }
    if (path.filename().empty() || path.filename() == "." || path.filename() == "..") {
        throw PrinterError("The output file " + Quoted(path) + " names no file.");
    }
    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    return TPendingOutputFile(folder, path.filename().string(), std::string(), true);
}

TPendingOutputFile::TPendingOutputFile(TPendingOutputFile&& other) noexcept
    : folder_(std::move(other.folder_)),
      stem_(std::move(other.stem_)),
      extension_(std::move(other.extension_)),
      replace_(other.replace_),
      temp_(std::exchange(other.temp_, fs::path())),
      fd_(std::exchange(other.fd_, -1)),
      direct_(other.direct_),
      target_(std::move(other.target_)),
      written_(other.written_) {}

TPendingOutputFile& TPendingOutputFile::operator=(TPendingOutputFile&& other) noexcept {
    if (this != &other) {
        Discard();
        folder_ = std::move(other.folder_);
        stem_ = std::move(other.stem_);
        extension_ = std::move(other.extension_);
        replace_ = other.replace_;
        temp_ = std::exchange(other.temp_, fs::path());
        fd_ = std::exchange(other.fd_, -1);
        direct_ = other.direct_;
        target_ = std::move(other.target_);
        written_ = other.written_;
    }
    return *this;
}

TPendingOutputFile::~TPendingOutputFile() {
    Discard();
}

void TPendingOutputFile::CloseFd() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool TPendingOutputFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        written_ += static_cast<std::uint64_t>(n);
    }
    return true;
}

// A regular file reached through a link is cut to what was written (it was not emptied at
// the start, so a document that failed early leaves it as it was); everything must reach the
// target, or the failure is reported.
fs::path TPendingOutputFile::CommitDirect() {
    if (fd_ < 0) throw PrinterError("The output file was already closed.");
    const int fd = std::exchange(fd_, -1);
    const auto fail = [&](int error) {
        ::close(fd);
        throw PrinterError("Cannot write the file " + Quoted(target_) + ": " +
                           std::strerror(error) + ".");
    };
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        ::ftruncate(fd, static_cast<off_t>(written_)) != 0) {
        fail(errno);
    }
    // Pipes and most devices cannot be synchronised; that is no failure.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) fail(errno);
    if (::close(fd) != 0 && errno != EINTR) {
        const int error = errno;
        throw PrinterError("Cannot write the file " + Quoted(target_) + ": " +
                           std::strerror(error) + ".");
    }
    return target_;
}

fs::path TPendingOutputFile::Commit(const std::function<void(const fs::path&)>& beforeRename) {
    if (direct_) return CommitDirect();
    if (temp_.empty()) throw PrinterError("The output file was already closed.");
    if (fd_ >= 0) {
        const int fd = std::exchange(fd_, -1);
        if (::fsync(fd) != 0 && errno != EINVAL) {
            const int error = errno;
            ::close(fd);
            Discard();
            throw PrinterError("Cannot write the file " + Quoted(folder_ / (stem_ + extension_)) +
                               ": " + std::strerror(error));
        }
        ::close(fd);
    }
    if (replace_) {
        const fs::path target = folder_ / stem_;
        if (beforeRename) beforeRename(target);
        if (::rename(temp_.c_str(), target.c_str()) != 0) {
            const int error = errno;
            Discard();
            throw PrinterError("Cannot save the file " + Quoted(target) + ": " +
                               std::strerror(error));
        }
        temp_.clear();
        SyncFolder(folder_);
        return target;
    }
    for (int n = 1; n <= kMaxCounter; ++n) {
        const std::string suffix = n == 1 ? std::string() : "_" + std::to_string(n);
        const fs::path target = folder_ / (stem_ + suffix + extension_);
        std::error_code ec;
        if (fs::exists(target, ec)) continue;
        if (beforeRename) beforeRename(target);
        if (RenameNoReplace(temp_, target)) {
            temp_.clear();
            // The name is durable once the folder is.
            SyncFolder(folder_);
            return target;
        }
        if (errno != EEXIST) {
            const int error = errno;
            Discard();
            throw PrinterError("Cannot save the file " + Quoted(target) + ": " +
                               std::strerror(error));
        }
    }
    Discard();
    throw PrinterError("Cannot save the file " + Quoted(folder_ / (stem_ + extension_)) +
                       ": too many files of that name.");
}

void TPendingOutputFile::Discard() noexcept {
    CloseFd();
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

}  // namespace quernel
