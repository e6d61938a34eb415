#pragma once

#include <cstddef>
#include <filesystem>

#include "host/Bytes.h"

namespace quernel {

// A whole file's bytes for reading: a regular file is mapped into memory (its pages come from
// the page cache and cost no copy), anything else is read. Throws FileError. A mapped file
// must not shrink while it is in use (the bytes past its new end can no longer be read).
class TMappedFile {
  public:
    explicit TMappedFile(const std::filesystem::path& path);
    ~TMappedFile();
    TMappedFile(TMappedFile&& other) noexcept;
    TMappedFile& operator=(TMappedFile&& other) noexcept;
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    ByteView View() const {
        return mapped_ != nullptr ? ByteView(mapped_, size_) : ByteView(read_);
    }

  private:
    void Unmap() noexcept;

    const std::uint8_t* mapped_ = nullptr;
    std::size_t size_ = 0;
    Bytes read_;  // a file that could not be mapped
};

}  // namespace quernel
