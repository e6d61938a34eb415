#include <algorithm>
#include <cmath>

#include "engine/EscPCommand.h"
#include "engine/EscPLanguage.h"

// ESC/P 2 raster graphics in TIFF mode (ESC . 2): binary commands that transfer PackBits rows
// (XFER), move along and down the raster (MOVX, MOVY, CR), choose the colour plane (COLR) and
// end the mode (EXIT). Rows are collected per plane and drawn as pictures, the planes of a band
// mixed into their colours.

namespace quernel {

using namespace escp;

namespace {

constexpr std::uint8_t kXfer = 1, kMovx = 2, kMovy = 3, kColr = 4;
constexpr std::uint8_t kClear = 0xE1, kCarriageReturn = 0xE2, kExit = 0xE3, kMovxByte = 0xE4,
                       kMovxDot = 0xE5;
// Rows kept before a band is drawn, and the widest row (bytes).
constexpr int kMaxBandRows = 256;
constexpr std::size_t kMaxRowBytes = 8192;

// PackBits: a counter below 128 takes counter + 1 bytes as they are, a higher one repeats the
// next byte 257 - counter times (128 does nothing).
Bytes UnpackBits(ByteView in) {
    Bytes out;
    for (std::size_t i = 0; i < in.size() && out.size() < kMaxRowBytes;) {
        const std::uint8_t counter = in[i++];
        if (counter < 128) {
            for (unsigned k = 0; k <= counter && i < in.size(); ++k) out.push_back(in[i++]);
        } else if (counter > 128 && i < in.size()) {
            out.insert(out.end(), 257u - counter, in[i++]);
        }
    }
    if (out.size() > kMaxRowBytes) out.resize(kMaxRowBytes);
    return out;
}

// The plane a COLR value names: 0 black, 1 magenta, 2 cyan, 3 yellow; light and dark inks
// (16 and up) print as their colour.
int PlaneOf(int colour) {
    switch (colour & 0x0F) {
        case 1:
            return 1;
        case 2:
            return 2;
        case 4:
            return 3;
        default:
            return 0;
    }
}

}  // namespace

void TEscPLanguage::Flush(IPage& page) {
    // A printout that ends inside TIFF mode: what was sent is drawn.
    if (InTiffMode()) DrawTiffBand(page);
}

bool TEscPLanguage::InTiffMode() const {
    return tiff_.active;
}

void TEscPLanguage::EnterTiffMode(const TEscPCommand& cmd, IPage* page) {
    // c v h m nL nH: the dot sizes down and along in 1/3600 inch.
    tiff_ = TTiffRaster();
    tiff_.active = true;
    tiff_.dotDown = (cmd.Arg(1) > 0 ? cmd.Arg(1) : 10) / 3600.0;
    tiff_.dotAlong = (cmd.Arg(2) > 0 ? cmd.Arg(2) : 10) / 3600.0;
    if (page) {
        tiff_.along = page->Along();
        tiff_.down = page->Down();
    }
}

TLanguageStep TEscPLanguage::TiffStep(ByteView data, std::size_t p, IPage* page) {
    const std::uint8_t b = data[p];
    const std::size_t size = data.size();
    TLanguageStep step{1, 0, false, 0, "Grafika rastrowa TIFF: polecenie"};
    const int command = b >> 5;
    if (command >= kXfer && command <= kColr) {
        // The parameter is in the low 4 bits, or, with bit 4 set, in the 1 or 2 bytes after.
        std::size_t at = p + 1;
        int value = b & 0x0F;
        int extension = 0;
        if (b & 0x10) {
            extension = std::min(value, 2);
            value = 0;
            for (int i = 0; i < extension; ++i) {
                value |= (at < size ? data[at] : 0) << (8 * i);
                ++at;
            }
        }
        step.length = std::min(at, size) - p;
        switch (command) {
            case kXfer: {
                const std::size_t n =
                    std::min(static_cast<std::size_t>(value), size - std::min(at, size));
                step.length += n;
                step.payload = n;
                step.name = "Grafika rastrowa TIFF: dane";
                TiffRow(UnpackBits(data.subspan(std::min(at, size), n)), page);
                break;
            }
            case kMovx:
                step.name = "Grafika rastrowa TIFF: przesunięcie poziome";
                // Relative, signed in the two-byte form.
                tiff_.x += (extension == 2   ? static_cast<std::int16_t>(value)
                            : extension == 1 ? static_cast<std::int8_t>(value)
                                             : value) *
                           tiff_.movxUnit;
                tiff_.x = std::max(0, tiff_.x);
                break;
            case kMovy: {
                step.name = "Grafika rastrowa TIFF: przesunięcie pionowe";
                // In the unit of ESC ( U, rows of the raster's dot size.
                const double inches = value * ExtendedUnit();
                tiff_.y += static_cast<int>(std::lround(inches / tiff_.dotDown));
                if (page && tiff_.y - tiff_.firstRow >= kMaxBandRows) DrawTiffBand(*page);
                break;
            }
            case kColr:
                step.name = "Grafika rastrowa TIFF: kolor";
                tiff_.plane = PlaneOf(value);
                break;
            default:
                break;
        }
        return step;
    }
    switch (b) {
        case kCarriageReturn:
            step.name = "Grafika rastrowa TIFF: powrót karetki";
            tiff_.x = 0;
            break;
        case kExit:
            step.name = "Grafika rastrowa TIFF: koniec";
            if (page) DrawTiffBand(*page);
            // The print position goes below the raster, to where it started along the line.
            if (page) {
                page->MoveDown(tiff_.down + tiff_.y * tiff_.dotDown);
                page->MoveAlong(tiff_.along);
            }
            tiff_.active = false;
            break;
        case kMovxByte:
            tiff_.movxUnit = 8;
            break;
        case kMovxDot:
            tiff_.movxUnit = 1;
            break;
        case kClear:
            break;
        default:
            step.name = "Grafika rastrowa TIFF: nieznane polecenie";
            break;
    }
    return step;
}

void TEscPLanguage::TiffRow(Bytes row, IPage* page) {
    if (!page || row.empty()) {
        tiff_.x += static_cast<int>(row.size()) * 8;
        return;
    }
    if (tiff_.rows.empty()) tiff_.firstRow = tiff_.y;
    if (tiff_.y < tiff_.firstRow || tiff_.y - tiff_.firstRow >= kMaxBandRows) {
        DrawTiffBand(*page);
        tiff_.firstRow = tiff_.y;
    }
    TTiffRaster::TPiece piece{tiff_.plane, tiff_.y - tiff_.firstRow, tiff_.x, std::move(row)};
    tiff_.x += static_cast<int>(piece.bytes.size()) * 8;
    tiff_.rows.push_back(std::move(piece));
}

void TEscPLanguage::DrawTiffBand(IPage& page) {
    if (tiff_.rows.empty()) return;
    int width = 0, height = 0;
    for (const auto& piece : tiff_.rows) {
        width = std::max(width, piece.x + static_cast<int>(piece.bytes.size()) * 8);
        height = std::max(height, piece.row + 1);
    }
    width = std::min<int>(width, static_cast<int>(kMaxRowBytes) * 8);
    // One bitmap a plane: black, magenta, cyan, yellow.
    std::array<TBitmap, 4> planes;
    std::array<bool, 4> used{};
    for (auto& plane : planes) plane = TBitmap::Blank(width, height);
    for (const auto& piece : tiff_.rows) {
        TBitmap& plane = planes[static_cast<std::size_t>(piece.plane)];
        for (std::size_t i = 0; i < piece.bytes.size(); ++i) {
            const std::uint8_t bits = piece.bytes[i];
            for (int bit = 0; bit < 8 && bits; ++bit) {
                const int x = piece.x + static_cast<int>(i) * 8 + bit;
                if ((bits & (0x80 >> bit)) && x < width) {
                    plane.SetDot(x, piece.row);
                    used[static_cast<std::size_t>(piece.plane)] = true;
                }
            }
        }
    }
    const double along = tiff_.along, down = tiff_.down + tiff_.firstRow * tiff_.dotDown;
    const double w = width * tiff_.dotAlong, h = height * tiff_.dotDown;
    if (!used[1] && !used[2] && !used[3]) {
        page.DrawPicture(planes[0], along, down, w, h);
    } else {
        // The inks mix as on paper: black covers, cyan, magenta and yellow take away red,
        // green and blue; each mix present is drawn in its colour.
        std::array<TBitmap, 8> mixes;
        std::array<bool, 8> present{};
        for (auto& mix : mixes) mix = TBitmap::Blank(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (planes[0].Dot(x, y)) {
                    mixes[0].SetDot(x, y);
                    present[0] = true;
                    continue;
                }
                const int mix = (planes[2].Dot(x, y) ? 1 : 0) | (planes[1].Dot(x, y) ? 2 : 0) |
                                (planes[3].Dot(x, y) ? 4 : 0);
                if (mix == 0) continue;
                mixes[static_cast<std::size_t>(mix)].SetDot(x, y);
                present[static_cast<std::size_t>(mix)] = true;
            }
        }
        for (std::size_t mix = 0; mix < mixes.size(); ++mix) {
            if (!present[mix]) continue;
            const TColor colour = mix == 0 ? TColor{}
                                           : TColor{static_cast<std::uint8_t>((mix & 1) ? 0 : 255),
                                                    static_cast<std::uint8_t>((mix & 2) ? 0 : 255),
                                                    static_cast<std::uint8_t>((mix & 4) ? 0 : 255)};
            page.DrawPicture(mixes[mix], along, down, w, h, colour);
        }
    }
    tiff_.firstRow += height;
    tiff_.rows.clear();
}

}  // namespace quernel
