#include "engine/PrinterPlatform.h"

#include <algorithm>
#include <bit>

namespace quernel {

TBitmap TBitmap::Blank(int width, int height) {
    TBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.stride = (width + 7) / 8;
    bitmap.bits.assign(static_cast<std::size_t>(bitmap.stride) * height, 0);
    return bitmap;
}

bool TBitmap::InkBounds(int& left, int& top, int& right, int& bottom) const {
    left = width;
    right = -1;
    top = -1;
    bottom = -1;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = Row(y);
        int first = -1, last = -1;
        for (int i = 0; i < stride; ++i) {
            if (row[i] == 0) continue;
            if (first < 0) first = i;
            last = i;
        }
        if (first < 0) continue;
        if (top < 0) top = y;
        bottom = y;
        left = std::min(left, first * 8 + std::countl_zero(row[first]));
        right = std::max(right, last * 8 + 7 - std::countr_zero(row[last]));
    }
    right = std::min(right, width - 1);
    return top >= 0 && left <= right;
}

TBitmap TBitmap::Crop(int left, int top, int w, int h) const {
    if (left == 0 && top == 0 && w == width && h == height) return *this;
    TBitmap out = Blank(w, h);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* from = Row(top + y);
        std::uint8_t* to = out.Row(y);
        if (left % 8 == 0) {
            std::copy_n(from + left / 8, out.stride, to);
            if (w % 8 != 0) to[out.stride - 1] &= static_cast<std::uint8_t>(0xFF << (8 - w % 8));
            continue;
        }
        for (int x = 0; x < w; ++x) {
            if (Dot(left + x, top + y)) out.SetDot(x, y);
        }
    }
    return out;
}

TBitmap TBitmap::TurnedClockwise() const {
    TBitmap out = Blank(height, width);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (Dot(x, y)) out.SetDot(height - 1 - y, x);
        }
    }
    return out;
}

int FindPrinterByName(IPrinterPlatform& printer, const std::string& name) {
    const std::vector<std::string> names = printer.Printers();
    for (int i = static_cast<int>(names.size()) - 1; i >= 0; --i) {
        if (names[static_cast<std::size_t>(i)] == name) return i;
    }
    return -1;
}

std::string CurrentPrinterName(IPrinterPlatform& printer) {
    const int index = printer.PrinterIndex();
    const std::vector<std::string> names = printer.Printers();
    return index >= 0 && index < static_cast<int>(names.size())
               ? names[static_cast<std::size_t>(index)]
               : std::string();
}

}  // namespace quernel
