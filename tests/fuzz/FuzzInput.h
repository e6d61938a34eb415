#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "host/Bytes.h"

// Helpers shared by the fuzz entry points: the input split into option bytes and the rest,
// and a check that stops the run (a fuzzer reports it as a crash, the replay as a failure).
namespace quernel::fuzz {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The next byte, or 0 when the input is used up.
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    // A value in [low, high] from the next byte.
    int Between(int low, int high) {
        return low + static_cast<int>(Byte() % static_cast<unsigned>(high - low + 1));
    }
    bool Flag() { return (Byte() & 1) != 0; }
    ByteView Rest() const { return {data_ + at_, size_ - at_}; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

inline void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace quernel::fuzz
