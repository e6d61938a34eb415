#include <map>

#include "engine/PclCommand.h"

// PCL rectangles (ESC *c#P): filled black, white, in a shade of grey or with a pattern, the
// cross-hatch patterns or one the printout defines (ESC *c#W).

namespace quernel {

using namespace pcl;

namespace {

// Patterns are drawn at the printer's 300 dots an inch; a side of a filled picture at most.
constexpr double kPatternDpi = 300;
constexpr int kMostDots = 4096;
// The cross-hatch patterns' cell, in dots.
constexpr int kHatchCell = 16;

// The grey of a shade: the percentages HP's printers print for the values asked.
double ShadeLevel(int percent) {
    if (percent <= 0) return 0;
    if (percent <= 2) return 0.02;
    if (percent <= 10) return 0.10;
    if (percent <= 20) return 0.15;
    if (percent <= 35) return 0.30;
    if (percent <= 55) return 0.45;
    if (percent <= 80) return 0.70;
    if (percent <= 99) return 0.90;
    return 1;
}

// Cross-hatch pattern 1..6 at a dot: horizontal, vertical, two diagonals, square and diagonal
// cross-hatching; lines 2 dots wide.
bool Hatch(int pattern, int x, int y) {
    const int cx = x % kHatchCell, cy = y % kHatchCell;
    const bool horizontal = cy < 2, vertical = cx < 2;
    const bool rising = (cx + cy) % kHatchCell < 2,
               falling = (cx - cy + kHatchCell) % kHatchCell < 2;
    switch (pattern) {
        case 1:
            return horizontal;
        case 2:
            return vertical;
        case 3:
            return rising;
        case 4:
            return falling;
        case 5:
            return horizontal || vertical;
        case 6:
            return rising || falling;
        default:
            return false;
    }
}

}  // namespace

void TPclLanguage::DefinePattern(ByteView data) {
    // format, continuation, pixel encoding, reserved, height and width (high byte first), for
    // format 20 the resolution along and down; then the rows.
    if (data.size() < 8 || data[2] != 1) return;  // only 1 bit a dot is printed in black
    const int height = (data[4] << 8) | data[5];
    const int width = (data[6] << 8) | data[7];
    std::size_t at = 8;
    double dpi = kPatternDpi;
    if (data[0] == 20 && data.size() >= 12) {
        const int x = (data[8] << 8) | data[9];
        if (x > 0) dpi = x;
        at = 12;
    }
    if (width <= 0 || height <= 0 || width > kMostDots || height > kMostDots) return;
    TPattern pattern{TBitmap::Blank(width, height), dpi};
    const std::size_t stride = static_cast<std::size_t>(pattern.dots.stride);
    for (int y = 0; y < height && at + stride <= data.size(); ++y, at += stride) {
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), stride, pattern.dots.Row(y));
    }
    patterns_[patternId_] = std::move(pattern);
}

void TPclLanguage::FillRectangle(IPage& page, int fill) {
    if (rectWidth_ <= 0 || rectHeight_ <= 0) return;
    const double along = page.Along(), down = CursorY(page);
    if (fill == 5) {  // the current pattern (ESC *v#T): solid, white, shade, hatch, user
        static constexpr int kFills[] = {0, 1, 2, 3, 4};
        fill = currentPattern_ >= 0 && currentPattern_ <= 4 ? kFills[currentPattern_] : 0;
    }
    TBitmap ink = TBitmap::Blank(1, 1);
    ink.SetDot(0, 0);
    switch (fill) {
        case 0:
            page.DrawPicture(ink, along, down, rectWidth_, rectHeight_);
            return;
        case 1:  // white: erases what is under it
            page.DrawPicture(ink, along, down, rectWidth_, rectHeight_, TColor{255, 255, 255});
            return;
        case 2: {  // a grey of the shade's share of black
            const double level = ShadeLevel(patternId_);
            if (level <= 0) return;
            const auto grey = static_cast<std::uint8_t>(std::lround(255 * (1 - level)));
            page.DrawPicture(ink, along, down, rectWidth_, rectHeight_, TColor{grey, grey, grey});
            return;
        }
        case 3:
        case 4: {
            const auto user = patterns_.find(patternId_);
            if (fill == 4 && user == patterns_.end()) return;
            const double dpi = fill == 4 ? user->second.dpi : kPatternDpi;
            const int width =
                std::clamp(static_cast<int>(std::lround(rectWidth_ * dpi)), 1, kMostDots);
            const int height =
                std::clamp(static_cast<int>(std::lround(rectHeight_ * dpi)), 1, kMostDots);
            // The pattern is tiled from the rectangle's corner.
            TBitmap tiles = TBitmap::Blank(width, height);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const bool dot = fill == 3
                                         ? Hatch(patternId_, x, y)
                                         : user->second.dots.Dot(x % user->second.dots.width,
                                                                 y % user->second.dots.height);
                    if (dot) tiles.SetDot(x, y);
                }
            }
            page.DrawPicture(tiles, along, down, width / dpi, height / dpi);
            return;
        }
        default:
            return;
    }
}

}  // namespace quernel
