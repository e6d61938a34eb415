#pragma once

#include <cstdint>
#include <string>

#include "engine/PrinterPlatform.h"

namespace quernel {

// Millimetres to device pixels, truncated, never less than the unprintable strip. Computed in
// 64 bits: an absurd resolution gives a value beyond an int, for the caller to refuse.
std::int64_t MarginPx(int mm, int dpi, int physicalOffset);

// Four margins in device pixels and the printable area they leave inside the page.
struct TPageMargins {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    std::int64_t width = 0, height = 0;

    // Every value fits an int (so the renderer's positions do too).
    bool Fits() const;
    // Fits, and the area inside the margins is not empty.
    bool Usable() const { return Fits() && width > 0 && height > 0; }
};

TPageMargins ComputeMargins(const TDeviceCaps& caps, int mgLeft, int mgTop, int mgRight,
                            int mgBottom);

// Whether the page and margins of up to `largestMarginMm` on every side can be computed.
bool DeviceFits(const TDeviceCaps& caps, int largestMarginMm);

// Why margins (in mm) cannot be used on the printer's page, for the user; empty when they can.
std::string NoPrintableAreaMessage(const TDeviceCaps& caps, const std::string& printer, int mgLeft,
                                   int mgTop, int mgRight, int mgBottom);

}  // namespace quernel
