#include "host/FileUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quernel {

namespace {

Bytes ReadUpTo(const std::filesystem::path& path, std::size_t maxBytes) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) throw FileError(CannotOpenFileMessage(path, ErrnoText(errno)));
    Bytes data;
    std::uint8_t buffer[65536];
    while (data.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buffer, maxBytes - data.size());
        const ssize_t got = ::read(fd.get(), buffer, want);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError("Cannot read file \"" + path.string() + "\". " + ErrnoText(errno));
        }
        if (got == 0) break;
        data.insert(data.end(), buffer, buffer + got);
    }
    return data;
}

}  // namespace

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

std::string ErrnoText(int error) {
    return std::strerror(error);
}

std::string CannotOpenFileMessage(const std::filesystem::path& path, const std::string& reason) {
    return "Cannot open file \"" + path.string() + "\". " + reason;
}

UniqueFd OpenRegularFile(const std::filesystem::path& path, int flags) {
    const auto refuse = [&] {
        throw FileError(CannotOpenFileMessage(path, kNotRegularFileReason));
    };
    // Looked at first, so a writer waiting on a pipe is not let through by a passing reader.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) refuse();
    UniqueFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) throw FileError(CannotOpenFileMessage(path, ErrnoText(errno)));
    // The name may have been swapped for something else since.
    if (::fstat(fd.get(), &st) != 0) throw FileError(CannotOpenFileMessage(path, ErrnoText(errno)));
    if (!S_ISREG(st.st_mode)) refuse();
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

Bytes ReadWholeFile(const std::filesystem::path& path) {
    return ReadUpTo(path, static_cast<std::size_t>(-1));
}

Bytes ReadFilePrefix(const std::filesystem::path& path, std::size_t maxBytes) {
    return ReadUpTo(path, maxBytes);
}

void WriteFileAtomic(const std::filesystem::path& path, ByteView data) {
    std::string temp = path.string() + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (fd.get() < 0) throw FileError(CannotOpenFileMessage(path, ErrnoText(errno)));
    const auto fail = [&](int error) {
        ::unlink(temp.c_str());
        throw FileError("Cannot write file \"" + path.string() + "\". " + ErrnoText(error));
    };
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd.get(), data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    // mkstemp creates the file private; a user data file gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd.get(), 0666 & ~mask);
    if (::fsync(fd.get()) != 0) fail(errno);
    if (::close(fd.release()) != 0) fail(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) fail(errno);
}

}  // namespace quernel
