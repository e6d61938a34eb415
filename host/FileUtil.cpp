#include "host/FileUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quernel {

namespace {

constexpr std::size_t kMaxTitleBytes = 200;

// Writes every byte; false (with errno) when a write failed.
bool WriteAll(int fd, ByteView data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

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

std::string SafeFileTitle(std::string_view title) {
    std::string out;
    out.reserve(title.size());
    bool leading = true;
    for (std::size_t i = 0; i < title.size(); ++i) {
        const auto c = static_cast<unsigned char>(title[i]);
        // C1 control characters in UTF-8: C2 80 .. C2 9F.
        if (c == 0xC2 && i + 1 < title.size()) {
            const auto next = static_cast<unsigned char>(title[i + 1]);
            if (next >= 0x80 && next <= 0x9F) {
                out += '_';
                ++i;
                leading = false;
                continue;
            }
        }
        const bool bad = c < 0x20 || c == 0x7F || c == '/' || (leading && c == '.');
        out += bad ? '_' : static_cast<char>(c);
        if (c != '.') leading = false;
    }
    if (out.size() > kMaxTitleBytes) {
        std::size_t cut = kMaxTitleBytes;
        // Never cut inside a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return out.empty() ? "Quernel" : out;
}

std::string DocumentFileStem(std::string_view title, const LocalDateTime& t) {
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "_%04d-%02d-%02d_%02d-%02d-%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return SafeFileTitle(title) + stamp;
}

std::filesystem::path WriteNewFile(const std::filesystem::path& folder, const std::string& stem,
                                   const std::string& extension, ByteView data) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (int n = 1; n <= 9999; ++n) {
        const std::string suffix = n == 1 ? std::string() : "_" + std::to_string(n);
        const std::filesystem::path path = folder / (stem + suffix + extension);
        UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
        if (fd.get() < 0) {
            if (errno == EEXIST) continue;
            throw FileError(CannotOpenFileMessage(path, ErrnoText(errno)));
        }
        const auto fail = [&](int error) {
            ::unlink(path.c_str());
            throw FileError("Cannot write file \"" + path.string() + "\". " + ErrnoText(error));
        };
        if (!WriteAll(fd.get(), data)) fail(errno);
        if (::fsync(fd.get()) != 0 && errno != EINVAL) fail(errno);
        if (::close(fd.release()) != 0) fail(errno);
        return path;
    }
    throw FileError(
        CannotOpenFileMessage(folder / (stem + extension), "Too many files of that name."));
}

Bytes ReadWholeFile(const std::filesystem::path& path) {
    return ReadUpTo(path, static_cast<std::size_t>(-1));
}

Bytes ReadFilePrefix(const std::filesystem::path& path, std::size_t maxBytes) {
    return ReadUpTo(path, maxBytes);
}

void WriteFileAtomic(const std::filesystem::path& path, ByteView data, bool sync) {
    std::string temp = path.string() + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (fd.get() < 0) throw FileError(CannotOpenFileMessage(path, ErrnoText(errno)));
    const auto fail = [&](int error) {
        ::unlink(temp.c_str());
        throw FileError("Cannot write file \"" + path.string() + "\". " + ErrnoText(error));
    };
    if (!WriteAll(fd.get(), data)) fail(errno);
    // mkstemp creates the file private; a user data file gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd.get(), 0666 & ~mask);
    if (sync && ::fsync(fd.get()) != 0) fail(errno);
    if (::close(fd.release()) != 0) fail(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) fail(errno);
    // The rename itself is durable once the folder is.
    if (sync && !SyncFolder(path.parent_path())) {
        throw FileError("Cannot write file \"" + path.string() + "\". " + ErrnoText(errno));
    }
}

std::filesystem::path KeepDamagedCopy(const std::filesystem::path& file, const LocalDateTime& t,
                                      std::string& error) {
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, ".bad-%04d-%02d-%02d_%02d-%02d-%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    const std::string stem = file.filename().string() + stamp;
    for (int n = 1; n < 100; ++n) {
        const std::filesystem::path copy =
            file.parent_path() / (n == 1 ? stem : stem + "_" + std::to_string(n));
        std::error_code ec;
        if (std::filesystem::exists(copy, ec)) continue;
        if (std::filesystem::copy_file(file, copy, std::filesystem::copy_options::none, ec)) {
            return copy;
        }
        error = ec.message();
        return {};
    }
    error = "too many copies";
    return {};
}

bool SyncFolder(const std::filesystem::path& folder) {
    const std::filesystem::path name = folder.empty() ? "." : folder;
    UniqueFd fd(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) return false;
    // Some file systems cannot synchronise a folder; that is no failure.
    return ::fsync(fd.get()) == 0 || errno == EINVAL || errno == ENOTSUP;
}

}  // namespace quernel
