#pragma once

// What the parts of the PCL reader share. Internal to the engine.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/PclLanguage.h"

namespace quernel::pcl {

inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr double kEpsilon = 1e-9;
// From the top of a line's cells to its baseline, where PCL puts its cursor: 3/4 of a line at
// 6 lines an inch.
inline constexpr double kBaseline = 0.125;
// Raster rows collected into one picture at most, and the widest row kept (dots / 8).
inline constexpr std::size_t kMaxBandRows = 256;
inline constexpr std::size_t kMaxRowBytes = 8192;

inline int Int(double v) {
    return static_cast<int>(std::lround(std::clamp(v, -1e9, 1e9)));
}

// What a command is called in --explain (PclNames.cpp).
std::string_view PartName(const TPclCommand& c);

}  // namespace quernel::pcl
