#include "platform/PdfFills.h"

#include <algorithm>

#include "platform/PdfWriter.h"

namespace quernel::pdf {

bool TFills::ExtendRow(const TRect& rect, std::uint8_t ink) {
    const auto found = rows_.find({ink, rect.top, rect.bottom});
    if (found == rows_.end()) return false;
    TRect& last = byInk_[ink][found->second];
    if (last.top != rect.top || last.bottom != rect.bottom || rect.left < last.left ||
        rect.left > last.right) {
        return false;
    }
    last.right = std::max(last.right, rect.right);
    return true;
}

bool TFills::ExtendColumn(const TRect& rect, std::uint8_t ink) {
    const auto found = columns_.find({ink, rect.left, rect.right});
    if (found == columns_.end()) return false;
    TRect& last = byInk_[ink][found->second];
    if (last.left != rect.left || last.right != rect.right || rect.top < last.top ||
        rect.top > last.bottom) {
        return false;
    }
    last.bottom = std::max(last.bottom, rect.bottom);
    return true;
}

void TFills::Add(const TRect& rect, std::uint8_t ink) {
    if (rect.right <= rect.left || rect.bottom <= rect.top || ink == 0) return;
    if (ExtendRow(rect, ink) || ExtendColumn(rect, ink)) return;
    std::vector<TRect>& rects = byInk_[ink];
    rects.push_back(rect);
    rows_[{ink, rect.top, rect.bottom}] = rects.size() - 1;
    columns_[{ink, rect.left, rect.right}] = rects.size() - 1;
}

std::string TFills::Take(std::uint32_t colour) {
    std::string out;
    for (const auto& [ink, rects] : byInk_) {
        if (ink != 255 && colour == kBlack) {
            out += "q ";
            AppendPdfNumber(out, 1 - ink / 255.0, 3);
            out += " g\n";
        } else if (ink != 255) {
            out += "q ";
            for (const int shift : {16, 8, 0}) {
                const double part = ((colour >> shift) & 0xFF) / 255.0;
                AppendPdfNumber(out, 1 - ink / 255.0 * (1 - part), 3);
                out += ' ';
            }
            out += "rg\n";
        }
        for (const TRect& r : rects) {
            for (const int v : {r.left, r.top, r.right - r.left, r.bottom - r.top}) {
                out += std::to_string(v);
                out += ' ';
            }
            out += "re\n";
        }
        out += ink != 255 ? "f Q\n" : "f\n";
    }
    byInk_.clear();
    rows_.clear();
    columns_.clear();
    return out;
}

}  // namespace quernel::pdf
