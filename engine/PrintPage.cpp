// The page as printer languages see it (IPage): positions in inches of the emulated printer,
// margins, the page length, pictures.

#include <algorithm>
#include <cmath>

#include "engine/PrintUnits.h"
#include "engine/QN_Print.h"

namespace quernel {

using namespace print;

double TPrintInterface::LanguagePageLimit() const {
    double limit = activeLinesPerPage_;
    // A page of a printer language holds the lines that begin above its end, whatever the
    // spacing: 66 lines of 1/8 inch on a form of 66 such lines.
    if (formLines_ > 0) limit = std::min(limit, formLines_ + 1 - 1e-9);
    return std::max(1.0, limit - skipLines_);
}

double TPrintInterface::HorizontalInch() const {
    const double printable =
        landscape_ ? caps_.pageHeight - topPx_ - bottomPx_ : caps_.pageWidth - leftPx_ - rightPx_;
    return printable / std::max(1, activeCharsPerLine_) * 10;
}

void TPrintInterface::SetColour(std::uint32_t rgb) {
    if (rgb == colour_) return;
    colour_ = rgb;
    printer_.SetColour(rgb);
}

void TPrintInterface::ResetLanguageLayout() {
    SetColour(kBlack);
    marginPx_ = 0;
    rightMargin_ = 0;
    doubleHeight_ = false;
    formLines_ = 0;
    skipLines_ = 0;
    extraSpacePx_ = 0;
    typeface_.reset();
    points_ = 0;
    proportional_ = false;
    scores_ = {};
    scored_ = false;
    runFont_.faceName = fontName_;
}

void TPrintInterface::PlacePen() {
    const int across = Px((linePosition_ - 1.0) * lineHeight_);
    const int along = static_cast<int>(alongPos_);
    if (landscape_) {
        printer_.MoveTo(caps_.pageWidth - rightPx_ - across, along);
    } else {
        printer_.MoveTo(along, topPx_ + across);
    }
}

void TPrintInterface::Apply(TSequenceMeaning m) {
    ApplyMeaning(RelativePitch(m, status_->Pitch), {});
}

void TPrintInterface::ControlCode(std::uint8_t code) {
    const std::uint8_t bytes[1] = {code};
    const ByteView alone(bytes, 1);
    const auto known =
        language_->ReadsBeforeTable(alone, 0) ? std::nullopt : table_.MatchKnown(alone, 0);
    if (known) {
        ApplyMeaning(RelativePitch(known->meaning, status_->Pitch), alone);
    } else {
        language_->Step(alone, 0, this);
    }
}

void TPrintInterface::Print(ByteView bytes, bool italic) {
    if (bytes.empty()) return;
    const std::uint8_t style = canvasStyle_;
    if (italic) canvasStyle_ |= font_style::kItalic;
    DrawRun(bytes);
    canvasStyle_ = style;
}

void TPrintInterface::PrintPicture(const TBitmap& bitmap, double width, double height) {
    WrapFor(charAdvance_ + extraSpacePx_);
    const bool tall = Tall();
    const double along = (alongPos_ - LineStart()) / HorizontalInch();
    const double down = (linePosition_ - 1.0 - (tall ? 0.75 : 0.0)) / 6;
    DrawPicture(bitmap, along, down, width * (status_->Enlarged ? 2 : 1), height * (tall ? 2 : 1));
    MoveAlongPx(alongPos_ + charAdvance_ + extraSpacePx_);
    ++column_;
}

double TPrintInterface::Along() {
    EnsurePage();
    return (alongPos_ - LineStart()) / HorizontalInch();
}

void TPrintInterface::MoveAlong(double inches) {
    EnsurePage();
    const double gridStart = landscape_ ? topPx_ : leftPx_;
    MoveAlongPx(std::max(gridStart, LineStart() + Inches(inches) * HorizontalInch()));
}

double TPrintInterface::Down() {
    EnsurePage();
    return (linePosition_ - 1.0) / 6;
}

void TPrintInterface::MoveDown(double inches) {
    EnsurePage();
    // Inside the page; a little above the first line too, where a printer language may put
    // the baseline of a first line.
    linePosition_ = std::clamp(1.0 + Inches(inches) * 6, 0.0, PageLimit());
    PlacePen();
}

void TPrintInterface::Feed(double inches) {
    EnsurePage();
    linePosition_ = std::clamp(linePosition_ + Inches(inches) * 6, 0.0, kMostLines);
    alongPos_ = LineStart();
    column_ = 0;
    PlacePen();
    EndEnlargedLine();
}

void TPrintInterface::SetLineSpacing(double inches) {
    status_->LineSpacing = std::max(0.0, Inches(inches)) * 6;
}

void TPrintInterface::SetExtraSpace(double inches) {
    extraSpacePx_ = std::max(0.0, Inches(inches)) * HorizontalInch();
}

void TPrintInterface::SetPageLength(double inches) {
    formLines_ = std::max(0.0, Inches(inches)) * 6;
}

void TPrintInterface::SetBottomSkip(double inches) {
    skipLines_ = std::max(0.0, Inches(inches)) * 6;
}

void TPrintInterface::SetPitch(double cpi) {
    cpi = std::isfinite(cpi) ? std::clamp(cpi, 0.5, 100.0) : 10.0;
    charAdvance_ = HorizontalInch() / cpi;
    if (status_->Enlarged) charAdvance_ *= 2;
    cpi_ = cpi;
    status_->Pitch = NearestPitch(cpi);
}

double TPrintInterface::RightLimitPx() const {
    const double width = activeCharsPerLine_ / 10.0;
    const double inches = rightMargin_ > 0 ? std::min(rightMargin_, width) : width;
    return (landscape_ ? topPx_ : leftPx_) + inches * HorizontalInch();
}

double TPrintInterface::LineEnd() {
    return (RightLimitPx() - LineStart()) / HorizontalInch();
}

void TPrintInterface::SetRightMargin(double inches) {
    rightMargin_ = std::max(0.0, Inches(inches));
}

void TPrintInterface::SetLeftMargin(double inches) {
    marginPx_ = std::max(0.0, Inches(inches)) * HorizontalInch();
    if (column_ == 0 || alongPos_ < LineStart()) MoveAlongPx(LineStart());
}

void TPrintInterface::DrawPicture(const TBitmap& bitmap, double along, double down, double width,
                                  double height, TColor color) {
    EnsurePage();
    along = Inches(along);
    down = Inches(down);
    width = Inches(width);
    height = Inches(height);
    int left = 0, top = 0, right = 0, bottom = 0;
    if (width <= 0 || height <= 0 || !bitmap.InkBounds(left, top, right, bottom)) return;
    // Only the part with ink is drawn, where it lies in the whole picture.
    const double dotAlong = width * HorizontalInch() / bitmap.width;
    const double dotAcross = height * VerticalInch() / bitmap.height;
    const double along0 = LineStart() + along * HorizontalInch();
    const double across0 = down * VerticalInch();
    const TBitmap ink = bitmap.Crop(left, top, right - left + 1, bottom - top + 1);
    const int first = Px(along0 + left * dotAlong);
    const int last = Px(along0 + (right + 1) * dotAlong);
    const auto draw = [&](const TRect& rect, const TBitmap& dots) {
        if (color == TColor{}) {
            printer_.DrawBitmap(rect, dots);
        } else {
            printer_.DrawColorBitmap(rect, dots, color);
        }
    };
    if (landscape_) {
        const double edge = caps_.pageWidth - rightPx_;
        draw({Px(edge - across0 - (bottom + 1) * dotAcross), first,
              Px(edge - across0 - top * dotAcross), last},
             ink.TurnedClockwise());
    } else {
        draw({first, Px(topPx_ + across0 + top * dotAcross), last,
              Px(topPx_ + across0 + (bottom + 1) * dotAcross)},
             ink);
    }
    pictureOnSheet_ = true;
}

}  // namespace quernel
