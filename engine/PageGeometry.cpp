#include "engine/PageGeometry.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace quernel {

namespace {

// A quarter of the int range: positions computed from these values (a margin plus a line of
// cells) stay inside an int.
constexpr std::int64_t kLimit = std::numeric_limits<int>::max() / 4;

bool InRange(std::int64_t v) {
    return v >= -kLimit && v <= kLimit;
}

double Millimetres(int pixels, int dpi) {
    return dpi > 0 ? pixels * 25.4 / dpi : 0;
}

}  // namespace

std::int64_t MarginPx(int mm, int dpi, int physicalOffset) {
    const double px = std::trunc(mm / 25.4 * dpi);
    const std::int64_t value = std::abs(px) < 9e18 ? static_cast<std::int64_t>(px)
                                                   : std::numeric_limits<std::int64_t>::max();
    return value > physicalOffset ? value : physicalOffset;
}

bool TPageMargins::Fits() const {
    return InRange(left) && InRange(top) && InRange(right) && InRange(bottom) && InRange(width) &&
           InRange(height);
}

TPageMargins ComputeMargins(const TDeviceCaps& caps, int mgLeft, int mgTop, int mgRight,
                            int mgBottom) {
    TPageMargins m;
    m.left = MarginPx(mgLeft, caps.dpiX, caps.physicalOffsetX);
    m.right = MarginPx(mgRight, caps.dpiX, caps.physicalOffsetX);
    m.top = MarginPx(mgTop, caps.dpiY, caps.physicalOffsetY);
    m.bottom = MarginPx(mgBottom, caps.dpiY, caps.physicalOffsetY);
    if (!InRange(m.left) || !InRange(m.right) || !InRange(m.top) || !InRange(m.bottom)) {
        m.width = m.height = std::numeric_limits<std::int64_t>::max();
        return m;
    }
    m.width = std::int64_t{caps.pageWidth} - m.left - m.right;
    m.height = std::int64_t{caps.pageHeight} - m.top - m.bottom;
    return m;
}

bool DeviceFits(const TDeviceCaps& caps, int largestMarginMm) {
    const int m = largestMarginMm;
    return InRange(std::int64_t{caps.pageWidth} + caps.physicalOffsetX) &&
           InRange(std::int64_t{caps.pageHeight} + caps.physicalOffsetY) &&
           ComputeMargins(caps, m, m, m, m).Fits();
}

std::string NoPrintableAreaMessage(const TDeviceCaps& caps, const std::string& printer, int mgLeft,
                                   int mgTop, int mgRight, int mgBottom) {
    const TPageMargins m = ComputeMargins(caps, mgLeft, mgTop, mgRight, mgBottom);
    if (m.Usable()) return {};
    if (!m.Fits() || !InRange(caps.pageWidth) || !InRange(caps.pageHeight)) {
        return "Nie można obliczyć układu strony na drukarce \"" + printer +
               "\": jej rozdzielczość lub rozmiar strony są poza zakresem.";
    }
    char area[64];
    std::snprintf(area, sizeof area, "%.0f x %.0f mm", Millimetres(caps.pageWidth, caps.dpiX),
                  Millimetres(caps.pageHeight, caps.dpiY));
    return "Marginesy (lewy " + std::to_string(mgLeft) + ", górny " + std::to_string(mgTop) +
           ", prawy " + std::to_string(mgRight) + ", dolny " + std::to_string(mgBottom) +
           " mm) nie zostawiają miejsca na wydruk na drukarce \"" + printer +
           "\" (obszar drukowania " + area + ").";
}

}  // namespace quernel
