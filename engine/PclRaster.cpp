#include "engine/PclCommand.h"

// PCL raster graphics: rows collected into pictures, in every compression the reader knows.

namespace quernel {

using namespace pcl;

namespace {

// Method 9: a command byte holds an offset and a count, each made longer by the bytes after it
// while it is full; literal bytes follow, or one byte repeated (the top bit set).
Bytes ReplacementDeltaRow(ByteView in, const Bytes& seed) {
    Bytes row = seed;
    std::size_t i = 0, at = 0;
    const auto field = [&](std::size_t value, std::size_t full) {
        if (value != full) return value;
        std::uint8_t more = 255;
        while (more == 255 && i < in.size()) {
            more = in[i++];
            value += more;
        }
        return value;
    };
    const auto put = [&](std::uint8_t value) {
        if (at < kMaxRowBytes) {
            if (row.size() <= at) row.resize(at + 1, 0);
            row[at] = value;
        }
        ++at;
    };
    while (i < in.size()) {
        const std::uint8_t command = in[i++];
        if (command & 0x80) {
            at += field((command >> 5) & 3u, 3);
            const std::size_t count = field(command & 31u, 31) + 2;
            if (i >= in.size()) break;
            const std::uint8_t value = in[i++];
            for (std::size_t k = 0; k < count && at < kMaxRowBytes; ++k) put(value);
        } else {
            at += field((command >> 3) & 15u, 15);
            const std::size_t count = field(command & 7u, 7) + 1;
            for (std::size_t k = 0; k < count && i < in.size(); ++k) put(in[i++]);
        }
    }
    return row;
}

// One raster row, decoded with the compression of PCL's raster data.
Bytes DecodeRow(int mode, ByteView in, const Bytes& seed) {
    Bytes row;
    const auto limit = [&] { return row.size() >= kMaxRowBytes; };
    switch (mode) {
        case 0:
            row.assign(in.begin(),
                       in.begin() + static_cast<std::ptrdiff_t>(std::min(in.size(), kMaxRowBytes)));
            break;
        case 1:  // pairs: a repeat count - 1 and the byte
            for (std::size_t i = 0; i + 1 < in.size() && !limit(); i += 2) {
                row.insert(row.end(), in[i] + 1u, in[i + 1]);
            }
            break;
        case 2:  // PackBits
            for (std::size_t i = 0; i < in.size() && !limit();) {
                const std::uint8_t control = in[i++];
                if (control < 128) {
                    for (unsigned k = 0; k <= control && i < in.size(); ++k) row.push_back(in[i++]);
                } else if (control > 128 && i < in.size()) {
                    row.insert(row.end(), 257u - control, in[i++]);
                }
            }
            break;
        case 3: {  // delta row: changes to the previous row
            row = seed;
            std::size_t at = 0;
            for (std::size_t i = 0; i < in.size();) {
                const std::uint8_t command = in[i++];
                const unsigned count = (command >> 5) + 1u;
                std::size_t offset = command & 31u;
                if (offset == 31) {
                    std::uint8_t more = 255;
                    while (more == 255 && i < in.size()) {
                        more = in[i++];
                        offset += more;
                    }
                }
                at += offset;
                for (unsigned k = 0; k < count && i < in.size(); ++k, ++at) {
                    if (at >= kMaxRowBytes) {
                        ++i;
                        continue;
                    }
                    if (row.size() <= at) row.resize(at + 1, 0);
                    row[at] = in[i++];
                }
            }
            break;
        }
        case 9:  // replacement delta row: changes to the previous row, literal or repeated
            row = ReplacementDeltaRow(in, seed);
            break;
        default:  // a compression not read here: the row stays blank
            break;
    }
    if (row.size() > kMaxRowBytes) row.resize(kMaxRowBytes);
    return row;
}

}  // namespace

void TPclLanguage::StartRaster(bool atCursor, IPage& page) {
    EndRaster(page);
    raster_.active = true;
    raster_.along = atCursor ? page.Along() : -leftMargin_;
    raster_.down = CursorY(page);
    raster_.rows.clear();
    raster_.seed.clear();
}

void TPclLanguage::RasterRow(const TPclCommand& c, IPage* page) {
    if (!raster_.active) StartRaster(true, *page);  // rows without a start begin at the cursor
    if (c.parameter == 'Y') {  // rows skipped: blank, and the next delta row starts afresh
        const int rows = std::max(0, Int(c.value));
        if (rows > 0) {
            DrawRows(*page);
            raster_.down += rows / raster_.resolution;
        }
        raster_.seed.clear();
        return;
    }
    if (raster_.compression == 5) {
        AdaptiveBlock(c.data, *page);
        return;
    }
    AddRow(DecodeRow(raster_.compression, c.data, raster_.seed), *page);
}

void TPclLanguage::AddRow(Bytes row, IPage& page) {
    raster_.seed = row;
    raster_.rows.push_back(std::move(row));
    if (raster_.rows.size() >= kMaxBandRows) DrawRows(page);
}

void TPclLanguage::AdaptiveBlock(ByteView block, IPage& page) {
    // Method 5: rows one after another, each a method byte and a size (high byte first):
    // methods 0 to 3 a row of that many bytes, 4 that many blank rows, 5 that many copies of
    // the last row. Anything else ends the block.
    constexpr std::size_t kMostRows = 1 << 16;
    for (std::size_t i = 0; i + 3 <= block.size();) {
        const int method = block[i];
        const std::size_t size = (static_cast<std::size_t>(block[i + 1]) << 8) | block[i + 2];
        i += 3;
        if (method <= 3) {
            const std::size_t n = std::min(size, block.size() - i);
            AddRow(DecodeRow(method, block.subspan(i, n), raster_.seed), page);
            i += n;
        } else if (method == 4 || method == 5) {
            const Bytes row = method == 4 ? Bytes(raster_.seed.size(), 0) : raster_.seed;
            for (std::size_t k = 0; k < std::min(size, kMostRows); ++k) AddRow(row, page);
        } else {
            break;
        }
    }
}

void TPclLanguage::DrawRows(IPage& page) {
    if (raster_.rows.empty()) return;
    std::size_t bytes = 0;
    for (const Bytes& row : raster_.rows) bytes = std::max(bytes, row.size());
    int width = static_cast<int>(bytes * 8);
    if (raster_.width > 0) width = std::min(width, raster_.width);
    const int height = static_cast<int>(raster_.rows.size());
    if (width > 0) {
        TBitmap bitmap = TBitmap::Blank(width, height);
        for (int y = 0; y < height; ++y) {
            const Bytes& row = raster_.rows[static_cast<std::size_t>(y)];
            std::copy_n(row.begin(), std::min(row.size(), static_cast<std::size_t>(bitmap.stride)),
                        bitmap.Row(y));
            if (width % 8 != 0) bitmap.Row(y)[bitmap.stride - 1] &= 0xFF << (8 - width % 8);
        }
        page.DrawPicture(bitmap, raster_.along, raster_.down, width / raster_.resolution,
                         height / raster_.resolution);
    }
    raster_.down += height / raster_.resolution;
    raster_.rows.clear();
}

void TPclLanguage::EndRaster(IPage& page) {
    if (!raster_.active) return;
    DrawRows(page);
    raster_.active = false;
    // The cursor goes below the picture, to its left edge.
    MoveCursorY(page, raster_.down);
    page.MoveAlong(raster_.along);
}

void TPclLanguage::Flush(IPage& page) {
    EndRaster(page);
}

}  // namespace quernel
