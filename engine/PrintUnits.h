#pragma once

// What the print engine's files share: how positions become pixels, how far a printer
// language may move, and the pitch meanings. Internal to the engine.

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/EscapeSequences.h"

namespace quernel::print {

using namespace meaning;

constexpr std::uint8_t kFormFeed = 0x0C;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

// Device positions beyond this are not drawn: a margin and a few cells added to them still fit
// an int.
constexpr double kFarAway = std::numeric_limits<int>::max() / 4.0;

// Pixel positions from exact ones: truncated, but a position a rounding error below a whole
// pixel counts as that pixel, so that pictures placed one below the other meet.
inline int Px(double v) {
    return static_cast<int>(std::floor(v + 1e-6));
}

// Relative pitch changes turned into an absolute pitch; "ignore" where nothing happens.
inline TSequenceMeaning RelativePitch(TSequenceMeaning m, TSequenceMeaning pitch) {
    switch (m) {
        case kCondensed:
            return pitch == kCpi10 ? kCpi17 : pitch == kCpi12 ? kCpi20 : kIgnore;
        case kCondensedOff:
            return pitch == kCpi17                        ? kCpi10
                   : (pitch == kCpi20 || pitch == kCpi24) ? kCpi12
                                                          : kIgnore;
        case kPica:
            return pitch == kCpi12                        ? kCpi10
                   : (pitch == kCpi20 || pitch == kCpi24) ? kCpi17
                                                          : kIgnore;
        case kElite:
            return pitch == kCpi10 ? kCpi12 : pitch == kCpi17 ? kCpi20 : kIgnore;
        default:
            return m;
    }
}

inline double PitchFactor(TSequenceMeaning code) {
    switch (code) {
        case kCpi12:
            return 1.2;
        case kCpi17:
            return 1.7;
        case kCpi20:
            return 2.0;
        case kCpi24:
            return 2.4;
        case kCpi5:
            return 0.5;
        default:
            return 1.0;
    }
}

// What a printer language may ask for is kept to sizes a sheet can show, so that no value of a
// damaged or hostile printout makes a position overflow: inches for distances and lengths,
// lines for the line position (a page of 67 lines is far inside).
// The size of the letters a line of the grid (1/6 inch) holds, points.
constexpr double kGridPoints = 10.5;

constexpr double kMostInches = 100;
constexpr double kMostLines = 100000;

inline double Inches(double v) {
    return std::isfinite(v) ? std::clamp(v, -kMostInches, kMostInches) : 0;
}

// The pitch meaning nearest to a pitch in characters per inch.
inline TSequenceMeaning NearestPitch(double cpi) {
    static constexpr TSequenceMeaning kCodes[] = {kCpi5, kCpi10, kCpi12, kCpi17, kCpi20, kCpi24};
    TSequenceMeaning best = kCpi10;
    for (TSequenceMeaning code : kCodes) {
        if (std::abs(PitchFactor(code) * 10 - cpi) < std::abs(PitchFactor(best) * 10 - cpi)) {
            best = code;
        }
    }
    return best;
}

// Lines per inch meanings 31..40 as a multiple of the 6 lpi grid line.
inline double LineSpacingFor(TSequenceMeaning m) {
    static constexpr double kSpacing[] = {6.0, 3.0, 2.0, 1.5, 1.0, 0.75, 0.5, 0.375, 0.25, 0.125};
    return kSpacing[m - kLpi1];
}

}  // namespace quernel::print
