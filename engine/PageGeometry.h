#pragma once

namespace quernel {

// Millimetres to device pixels, truncated, never less than the unprintable strip.
inline int MarginPx(int mm, int dpi, int physicalOffset) {
    const int px = static_cast<int>(mm / 25.4 * dpi);
    return px > physicalOffset ? px : physicalOffset;
}

}  // namespace quernel
