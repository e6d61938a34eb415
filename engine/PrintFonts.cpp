// Typefaces, letter sizes, proportional spacing and the lines and shadows drawn with the
// letters, as printer languages ask for them.

#include <algorithm>
#include <cmath>

#include "engine/PrintUnits.h"
#include "engine/QN_Print.h"

namespace quernel {

using namespace print;

namespace {

constexpr std::size_t kUnder = 0, kThrough = 1, kOver = 2;
// Score kinds: bit 0 a single line, bit 1 a double one, bit 2 broken.
constexpr int kSingleLine = 1, kDoubleLine = 2, kBrokenLine = 4;
// A broken line: dashes of 3/100 inch, 2/100 inch apart.
constexpr double kDashPeriod = 0.05, kDashShare = 0.6;
// The biggest letters a printout may ask for, points.
constexpr double kMostPoints = 300;

}  // namespace

void TPrintInterface::SetTypeface(std::optional<TFontKind> kind) {
    typeface_ = kind;
    UpdateFace();
}

void TPrintInterface::SetProportional(bool on) {
    proportional_ = on;
    UpdateFace();
}

void TPrintInterface::SetPointSize(double points) {
    points_ = std::isfinite(points) ? std::clamp(points, 0.0, kMostPoints) : 0;
    // A size the grid draws anyway is the grid's own.
    if (std::abs(points_ - kGridPoints) < 1e-9) points_ = 0;
}

void TPrintInterface::UpdateFace() {
    // Proportional letters without a typeface of their own are the printer's Roman.
    std::optional<TFontKind> kind = typeface_;
    if (!kind && proportional_) kind = TFontKind::kSerif;
    std::string face = fontName_;
    if (kind) {
        std::optional<std::string>& installed = faces_[static_cast<std::size_t>(*kind)];
        if (!installed) installed = printer_.FamilyOf(*kind);
        if (!installed->empty()) face = *installed;
    }
    runFont_.faceName = face;
}

void TPrintInterface::SetScoreLine(int place, int kind) {
    if (place < 1 || place > 3) return;
    const std::size_t at = static_cast<std::size_t>(place - 1);
    // Neither a single nor a double line: none.
    if ((kind & (kSingleLine | kDoubleLine)) == 0) kind = 0;
    // A single continuous underline or strike-out is the font's own line.
    const bool own = kind == kSingleLine && at != kOver;
    if (at == kUnder) SetStyle(font_style::kUnderline, own);
    if (at == kThrough) SetStyle(font_style::kStrikeOut, own);
    scores_[at] = own ? 0 : static_cast<std::uint8_t>(kind);
    scored_ = scores_[kUnder] || scores_[kThrough] || scores_[kOver];
}

void TPrintInterface::DrawShadow(int x, int y, const TFontDesc& font, ByteView text) {
    // A filled copy a dot of a 180-dpi head to the lower right.
    const int offset = std::max(1, static_cast<int>(std::lround(HorizontalInch() / 180)));
    TFontDesc shadow = font;
    shadow.outline = false;
    shadow.underline = shadow.strikeOut = false;
    if (landscape_) {
        printer_.TextOut(x - offset, y + offset, shadow, text);
    } else {
        printer_.TextOut(x + offset, y + offset, shadow, text);
    }
}

void TPrintInterface::DrawScores(double along, double end, int top, int height) {
    // As thick as the box lines: about a dot of a 24-pin head.
    const int stroke = std::max(1, static_cast<int>(std::lround(lineHeight_ / 16.0)));
    std::vector<TRect> rects;
    // Where each line lies across the cell, from its top: under the baseline (3/4 of the cell
    // down), through the middle of the small letters, over the capitals.
    static constexpr double kPlace[3] = {0.8, 0.55, 0.02};
    // The pieces of the text's extent that a line covers: all of it, or the dashes of a broken
    // line, counted from the line's start so that runs next to each other continue the pattern.
    std::vector<std::pair<int, int>> pieces;
    for (std::size_t at = 0; at < scores_.size(); ++at) {
        const int kind = scores_[at];
        if (kind == 0) continue;
        pieces.clear();
        if (kind & kBrokenLine) {
            const double period = kDashPeriod * HorizontalInch();
            const double start = LineStart();
            for (double dash = start + std::floor((along - start) / period) * period; dash < end;
                 dash += period) {
                const double from = std::max(dash, along);
                const double to = std::min(dash + kDashShare * period, end);
                if (to > from) pieces.emplace_back(Px(from), Px(to));
            }
        } else {
            pieces.emplace_back(Px(along), Px(end));
        }
        const int first = top + static_cast<int>(kPlace[at] * height) - stroke / 2;
        // A double line: a second one two strokes further out from the letters' middle.
        const int second = at == kOver ? first - 2 * stroke : first + 2 * stroke;
        for (const auto& [from, to] : pieces) {
            for (const int across : {first, second}) {
                if (across == second && !(kind & kDoubleLine)) continue;
                if (landscape_) {
                    // Turned as the text is: across the line runs toward the left.
                    rects.push_back(
                        {top - (across - top) - stroke, from, top - (across - top), to});
                } else {
                    rects.push_back({from, across, to, across + stroke});
                }
            }
        }
    }
    if (!rects.empty()) printer_.FillRects(rects, 255);
}

}  // namespace quernel
