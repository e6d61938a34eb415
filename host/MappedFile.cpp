#include "host/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "host/FileUtil.h"

namespace quernel {

TMappedFile::TMappedFile(const std::filesystem::path& path) {
    {
        const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (fd.get() < 0) throw FileError(CannotOpenFileMessage(path, ErrnoText(errno)));
        struct stat st {};
        // An empty file has nothing to map (and files of the kernel's own, which say they are
        // empty, are read).
        if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            const auto size = static_cast<std::size_t>(st.st_size);
            void* at = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.get(), 0);
            if (at != MAP_FAILED) {
                // Read once from start to end: ask for the pages ahead of use.
                ::madvise(at, size, MADV_SEQUENTIAL);
                mapped_ = static_cast<const std::uint8_t*>(at);
                size_ = size;
                return;
            }
        }
    }
    read_ = ReadWholeFile(path);
}

TMappedFile::~TMappedFile() {
    Unmap();
}

TMappedFile::TMappedFile(TMappedFile&& other) noexcept
    : mapped_(std::exchange(other.mapped_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      read_(std::move(other.read_)) {}

TMappedFile& TMappedFile::operator=(TMappedFile&& other) noexcept {
    if (this != &other) {
        Unmap();
        mapped_ = std::exchange(other.mapped_, nullptr);
        size_ = std::exchange(other.size_, 0);
        read_ = std::move(other.read_);
    }
    return *this;
}

void TMappedFile::Unmap() noexcept {
    if (mapped_ != nullptr) ::munmap(const_cast<std::uint8_t*>(mapped_), size_);
    mapped_ = nullptr;
    size_ = 0;
}

}  // namespace quernel
