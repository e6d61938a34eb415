#include "engine/PrinterPlatform.h"

namespace quernel {

TBitmap TBitmap::Blank(int width, int height) {
    TBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.stride = (width + 7) / 8;
    bitmap.bits.assign(static_cast<std::size_t>(bitmap.stride) * height, 0);
    return bitmap;
}

int FindPrinterByName(IPrinterPlatform& printer, const std::string& name) {
    const std::vector<std::string> names = printer.Printers();
    for (int i = static_cast<int>(names.size()) - 1; i >= 0; --i) {
        if (names[static_cast<std::size_t>(i)] == name) return i;
    }
    return -1;
}

}  // namespace quernel
