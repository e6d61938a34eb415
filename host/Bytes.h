#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quernel {

// Printouts, control codes and file contents are raw 8-bit data.
using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline Bytes ToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline std::string ToString(ByteView bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace quernel
