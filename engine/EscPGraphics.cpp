#include <algorithm>

#include "engine/EscPCommand.h"
#include "engine/EscPLanguage.h"

// ESC/P graphics: bit images of 8, 9, 24 and 48 dots a column and raster graphics.

namespace quernel {

using namespace escp;

Bytes escp::RunLengthDecode(ByteView data, std::size_t size) {
    Bytes out;
    out.reserve(size);
    std::size_t in = 0;
    while (out.size() < size && in < data.size()) {
        const std::uint8_t counter = data[in++];
        if (counter < 128) {
            for (unsigned i = 0; i <= counter && in < data.size(); ++i) out.push_back(data[in++]);
        } else if (in < data.size()) {
            out.insert(out.end(), 257u - counter, data[in++]);
        }
    }
    out.resize(size, 0);
    return out;
}

bool TEscPLanguage::GraphicsCommand(const TEscPCommand& cmd, IPage* page) {
    const ByteView all = cmd.all;
    switch (cmd.key) {
        case 'K':
        case 'L':
        case 'Y':
        case 'Z':
            if (page) {
                const int mode = densities_[static_cast<std::size_t>(DensityIndex(cmd.key))];
                Columns(all.subspan(4), cmd.Word(0), mode, *page);
            }
            return true;
        case '*':
            if (page) Columns(all.subspan(5), cmd.Word(1), cmd.Arg(0), *page);
            return true;
        case '^':
            if (page) NineDots(all.subspan(5), cmd.Word(1), cmd.Arg(0) == 0 ? 60 : 120, *page);
            return true;
        case '.':
            if (cmd.Arg(0) == 2) {
                EnterTiffMode(cmd, page);
            } else if (page) {
                Raster(all.subspan(2, 6), all.subspan(8), *page);
            }
            return true;
        case '?': {
            const int which = DensityIndex(cmd.Arg(0));
            if (which >= 0)
                densities_[static_cast<std::size_t>(which)] = static_cast<std::uint8_t>(cmd.Arg(1));
            return true;
        }
        default:
            return false;
    }
}

void TEscPLanguage::Columns(ByteView data, int columns, int mode, IPage& page) const {
    const TDensity density = DensityOf(mode);
    const int bytes = density.dots / 8;
    TBitmap bitmap = TBitmap::Blank(columns, density.dots);
    for (int x = 0; x < columns; ++x) {
        for (int k = 0; k < bytes; ++k) {
            const std::uint8_t b = data[static_cast<std::size_t>(x * bytes + k)];
            if (b == 0) continue;
            for (int bit = 0; bit < 8; ++bit) {
                if (b & (0x80 >> bit)) bitmap.SetDot(x, k * 8 + bit);
            }
        }
    }
    const double down = density.dots == 8    ? (pins_ == TPins::k9 ? 72.0 : 60.0)
                        : density.dots == 24 ? 180.0
                                             : 360.0;
    const double width = columns / density.dpi;
    page.DrawPicture(bitmap, page.Along(), page.Down(), width, density.dots / down);
    page.MoveAlong(page.Along() + width);
}

void TEscPLanguage::NineDots(ByteView data, int columns, double dpi, IPage& page) const {
    TBitmap bitmap = TBitmap::Blank(columns, 9);
    for (int x = 0; x < columns; ++x) {
        const std::uint8_t top = data[static_cast<std::size_t>(2 * x)];
        for (int bit = 0; bit < 8; ++bit) {
            if (top & (0x80 >> bit)) bitmap.SetDot(x, bit);
        }
        if (data[static_cast<std::size_t>(2 * x + 1)] & 0x80) bitmap.SetDot(x, 8);
    }
    const double width = columns / dpi;
    page.DrawPicture(bitmap, page.Along(), page.Down(), width, 9 / 72.0);
    page.MoveAlong(page.Along() + width);
}

void TEscPLanguage::Raster(ByteView params, ByteView data, IPage& page) const {
    // c v h m nL nH: compression, dot spacing down and along in 1/3600 inch, rows, columns.
    const int compression = params[0];
    const double down = (params[1] > 0 ? params[1] : 10) / 3600.0;
    const double along = (params[2] > 0 ? params[2] : 10) / 3600.0;
    const int rows = params[3];
    const int columns = params[4] | (params[5] << 8);
    if (compression > 1 || rows == 0 || columns == 0) return;
    TBitmap bitmap = TBitmap::Blank(columns, rows);
    const std::size_t size = bitmap.bits.size();
    if (compression == 1) {
        bitmap.bits = RunLengthDecode(data, size);
    } else {
        std::copy_n(data.begin(), std::min(size, data.size()), bitmap.bits.begin());
    }
    page.DrawPicture(bitmap, page.Along(), page.Down(), columns * along, rows * down);
    page.MoveAlong(page.Along() + columns * along);
}

}  // namespace quernel
