#include "platform/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

#include "host/FileUtil.h"

namespace quernel {

namespace {

class Dir {
  public:
    explicit Dir(DIR* dir) : dir_(dir) {}
    ~Dir() {
        if (dir_ != nullptr) ::closedir(dir_);
    }
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;
    DIR* get() const { return dir_; }

  private:
    DIR* dir_;
};

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool IsHidden(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

std::string_view BaseName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

char Fold(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The index after the character that starts at i; a UTF-8 character counts as one.
std::size_t NextChar(std::string_view s, std::size_t i) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    return i;
}

bool Glob(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = ++m;
            starName = n;
        } else if (m < mask.size() && mask[m] == '?') {
            n = NextChar(name, n);
            ++m;
        } else if (m < mask.size() && Fold(mask[m]) == Fold(name[n])) {
            ++n;
            ++m;
        } else if (starMask != std::string_view::npos) {
            // Let the last "*" take one more character and try again from there.
            starName = NextChar(name, starName);
            n = starName;
            m = starMask;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

TFoundFile FoundFile(std::string name, const struct stat& st) {
    using namespace std::chrono;
    const auto sinceEpoch = seconds(st.st_mtim.tv_sec) + nanoseconds(st.st_mtim.tv_nsec);
    const bool regular = S_ISREG(st.st_mode);
    return {std::move(name), regular ? static_cast<std::uint64_t>(st.st_size) : 0,
            TimePoint(duration_cast<TimePoint::duration>(sinceEpoch)), regular};
}

class PosixReadFile final : public IReadFile {
  public:
    PosixReadFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    void Seek(std::uint64_t position) override {
        if (::lseek(fd_.get(), static_cast<off_t>(position), SEEK_SET) < 0) Fail(errno);
    }

    std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got = ::read(fd_.get(), buffer + done, size - done);
            if (got < 0) {
                if (errno == EINTR) continue;
                Fail(errno);
            }
            if (got == 0) break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

  private:
    [[noreturn]] void Fail(int error) const {
        throw FileError("Cannot read file \"" + path_ + "\". " + ErrnoText(error));
    }

    UniqueFd fd_;
    std::string path_;
};

std::string ProcessName(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// A process (its id as text) with a descriptor on the file (device, inode), other than the
// descriptor `ownFd` of this process; the /proc folders of other users' processes are not
// readable and are skipped.
std::optional<std::string> FindHolder(dev_t device, ino_t inode, int ownFd) {
    Dir proc(::opendir("/proc"));
    if (proc.get() == nullptr) return std::nullopt;
    const std::string self = std::to_string(::getpid());
    const std::string own = std::to_string(ownFd);
    while (const dirent* process = ::readdir(proc.get())) {
        const std::string pid = process->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const int fdDir = ::openat(::dirfd(proc.get()), (pid + "/fd").c_str(),
                                   O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdDir < 0) continue;
        Dir fds(::fdopendir(fdDir));
        if (fds.get() == nullptr) {
            ::close(fdDir);
            continue;
        }
        while (const dirent* entry = ::readdir(fds.get())) {
            if (IsHidden(entry->d_name)) continue;
            if (pid == self && own == entry->d_name) continue;
            struct stat st {};
            if (::fstatat(fdDir, entry->d_name, &st, 0) == 0 && st.st_dev == device &&
                st.st_ino == inode) {
                return pid;
            }
        }
    }
    return std::nullopt;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A folder whose entries users other than its owner may add or replace.
bool WritableByOthers(const struct stat& folder) {
    return (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// The link's owner is this user or root: both could read the user's files anyway.
bool TrustedOwner(const struct stat& link) {
    return link.st_uid == ::geteuid() || link.st_uid == 0;
}

bool UntrustedLinkAt(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || TrustedOwner(link)) {
        return false;
    }
    struct stat folder {};
    // A folder that cannot be looked at cannot be vouched for.
    return ::stat(FolderOf(path).c_str(), &folder) != 0 || WritableByOthers(folder);
}

[[noreturn]] void RefuseLink(const std::string& path) {
    throw FileError(CannotOpenFileMessage(path, kUntrustedLinkReason));
}

// Opens a regular file of a monitored folder, refusing another user's link there. The name is
// looked at again once the file is open: a link put in its place meanwhile (possible in a
// folder without the sticky bit) is refused, and so is a file that is no longer the one the
// name leads to.
UniqueFd OpenMonitored(const std::string& path, int flags) {
    if (UntrustedLinkAt(path)) RefuseLink(path);
    UniqueFd fd = OpenRegularFile(path, flags);
    struct stat opened {
    }, named{};
    if (UntrustedLinkAt(path) || ::fstat(fd.get(), &opened) != 0 ||
        ::stat(path.c_str(), &named) != 0 || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino) {
        RefuseLink(path);
    }
    return fd;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (Glob(name, mask)) return true;
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos) {
        return Glob(name, mask.substr(0, mask.size() - 2));
    }
    return false;
}

std::optional<TFoundFile> TPosixFileSystem::Find(const std::string& path) {
    const std::string_view name = BaseName(path);
    if (name.empty() || IsHidden(name)) return std::nullopt;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    if (S_ISLNK(st.st_mode)) {
        if (UntrustedLinkAt(path)) {
            TFoundFile refused{std::string(name), 0, {}, false};
            refused.refusal = kUntrustedLinkReason;
            return refused;
        }
        if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    }
    if (S_ISDIR(st.st_mode)) return std::nullopt;
    return FoundFile(std::string(name), st);
}

std::vector<TFoundFile> TPosixFileSystem::Enumerate(const std::string& pathWithMask) {
    const std::size_t slash = pathWithMask.rfind('/');
    std::string folder = ".";
    if (slash == 0) {
        folder = "/";
    } else if (slash != std::string::npos) {
        folder = pathWithMask.substr(0, slash);
    }
    const std::string_view mask = BaseName(pathWithMask);

    std::vector<TFoundFile> found;
    Dir dir(::opendir(folder.c_str()));
    if (dir.get() == nullptr) return found;  // a missing or unreadable folder has no files
    const int dirFd = ::dirfd(dir.get());
    struct stat folderStat {};
    const bool statted = ::fstat(dirFd, &folderStat) == 0;
    const bool shared = !statted || WritableByOthers(folderStat);
    const auto add = [&](const char* name) {
        struct stat st {};
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
        if (S_ISLNK(st.st_mode) &&
            ((shared && !TrustedOwner(st)) || ::fstatat(dirFd, name, &st, 0) != 0)) {
            return;
        }
        if (S_ISREG(st.st_mode)) found.push_back(FoundFile(name, st));
    };

    const TimePoint now = clock_ != nullptr ? clock_->Now() : std::chrono::system_clock::now();
    TListing& listing = listings_[pathWithMask];
    const bool unchanged = statted && listing.device == folderStat.st_dev &&
                           listing.inode == folderStat.st_ino &&
                           SameTime(listing.modified, folderStat.st_mtim) &&
                           SameTime(listing.changed, folderStat.st_ctim) && now >= listing.read &&
                           now - listing.read < std::chrono::seconds(2);
    if (unchanged) {
        for (const std::string& name : listing.names) add(name.c_str());
        return found;
    }
    listing = {
        folderStat.st_dev, folderStat.st_ino, folderStat.st_mtim, folderStat.st_ctim, now, {}};
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (IsHidden(name) || !MatchesMask(name, mask)) continue;
        if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_REG && entry->d_type != DT_LNK) {
            continue;
        }
        listing.names.emplace_back(name);
        add(entry->d_name);
    }
    return found;
}

std::unique_ptr<IReadFile> TPosixFileSystem::OpenRead(const std::string& path) {
    return std::make_unique<PosixReadFile>(OpenMonitored(path, O_RDONLY).release(), path);
}

void TPosixFileSystem::TestExclusiveOpen(const std::string& path) {
    const UniqueFd fd = OpenMonitored(path, O_RDWR);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) throw FileError(CannotOpenFileMessage(path, ErrnoText(errno)));
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        throw FileError(CannotOpenFileMessage(path, ErrnoText(EACCES)));
    }
    if (const auto holder = FindHolder(st.st_dev, st.st_ino, fd.get())) {
        const std::string reason = *holder == std::to_string(::getpid())
                                       ? std::string("The file is open in this program.")
                                       : "The file is open in another process (" +
                                             ProcessName(*holder) + ", PID " + *holder + ").";
        throw FileError(CannotOpenFileMessage(path, reason));
    }
}

bool TPosixFileSystem::Delete(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

}  // namespace quernel
