#include "engine/QN_Print.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/BoxShapes.h"
#include "engine/PageGeometry.h"
#include "engine/PrintSystemErrors.h"
#include "engine/PrintUnits.h"
#include "engine/QN_Picture.h"
#include "host/BW_log.h"
#include "host/ErrorReport.h"

namespace quernel {

using namespace print;

TPrintInterface::TPrintInterface(TPrintServices& services)
    : services_(services), printer_(services.printer) {}

void TPrintInterface::SetPage(int mgLeft, int mgTop, int mgRight, int mgBottom, int charsPerLine,
                              int linesPerPage, int charsPerLineHor, int linesPerPageHor,
                              int orientation, int copies) {
    mgLeft_ = mgLeft;
    mgTop_ = mgTop;
    mgRight_ = mgRight;
    mgBottom_ = mgBottom;
    charsPerLine_ = charsPerLine;
    linesPerPage_ = linesPerPage;
    charsPerLineHor_ = charsPerLineHor;
    linesPerPageHor_ = linesPerPageHor;
    copies_ = std::max(1, copies);
    SetOrientation(orientation == 1);
}

void TPrintInterface::SetOrientation(bool landscape) {
    landscape_ = landscape;
    caps_ = printer_.DeviceCaps();
    activeCharsPerLine_ = landscape_ ? charsPerLineHor_ : charsPerLine_;
    activeLinesPerPage_ = landscape_ ? linesPerPageHor_ : linesPerPage_;
    // Computed in 64 bits; margins that leave no page, or a page too large to compute, are
    // refused when a printout is drawn (see RequirePrintableArea).
    const TPageMargins m = ComputeMargins(caps_, mgLeft_, mgTop_, mgRight_, mgBottom_);
    pageProblem_.clear();
    if (!m.Usable()) {
        pageProblem_ = NoPrintableAreaMessage(caps_, CurrentPrinterName(printer_), mgLeft_, mgTop_,
                                              mgRight_, mgBottom_);
    }
    if (!m.Fits()) {
        leftPx_ = topPx_ = rightPx_ = bottomPx_ = lineHeight_ = 0;
        return;
    }
    leftPx_ = static_cast<int>(m.left);
    rightPx_ = static_cast<int>(m.right);
    topPx_ = static_cast<int>(m.top);
    bottomPx_ = static_cast<int>(m.bottom);
    lineHeight_ =
        static_cast<int>((landscape_ ? m.width : m.height) / std::max(1, activeLinesPerPage_));
}

void TPrintInterface::RequirePrintableArea() const {
    if (!pageProblem_.empty()) throw PrinterError(pageProblem_);
}

void TPrintInterface::SetFont(const std::string& name, std::uint8_t pitch,
                              const TCharMapRecord& map) {
    fontName_ = name;
    fontPitch_ = pitch;
    map_ = map;
}

void TPrintInterface::BeginJob(const std::string& title) {
    printer_.SetTitle(title.empty() ? kDefaultDocumentTitle : title);
    printer_.SetCopies(copies_);
    sheets_ = services_.raw.enabled ? 0 : 1;
    colour_ = kBlack;  // as every document begins
    if (!services_.raw.enabled) printer_.BeginDoc();
}

void TPrintInterface::EndJob() {
    if (!services_.raw.enabled) printer_.EndDoc();
}

void TPrintInterface::PrintData(ByteView data, std::size_t start, bool keepState, bool ignorePcl,
                                TPrinterStatus& status) {
    services_.fileLog.Add("Print Start Position:" + std::to_string(start));
    services_.fileLog.Add("Print Array Size:" + std::to_string(data.size()));
    services_.fileLog.AppendRaw(data, static_cast<long long>(start),
                                static_cast<long long>(data.size()));
    if (services_.raw.enabled) {
        PrintRaw(services_, *this, data);
        return;
    }
    table_.SortSequences();
    // The geometry is taken afresh from the printer the document is on: a monitored file with
    // a printer of its own switches printers after the job was set up.
    SetOrientation(landscape_);
    RequirePrintableArea();
    status_ = &status;
    pendingNewPage_ = false;
    language_ = MakePrinterLanguage(commandSet_, data.subspan(std::min(start, data.size())));
    faces_ = {};
    ResetLanguageLayout();
    wrap_ = false;
    if (!keepState) status.ResetStatus();
    printer_.SetBkModeTransparent();
    if (services_.background != nullptr) services_.background->DrawBackground(printer_);
    ToPageOrigin();
    canvasStyle_ = status.FontStyle;
    runFont_ = TFontDesc();
    runFont_.faceName = fontName_;
    mapCharset_ = CharsetAt(map_.CharsetIndex).value;
    graphics_ = boxLines_ ? FindGraphics(map_) : std::array<TGraphic, 256>{};
    runFont_.charset = mapCharset_;
    runFont_.pitch = 2;  // the cells are fixed-pitch whatever the font
    SelectCpi(status.Pitch);
    linePosition_ = 1.0;
    column_ = 0;

    if (language_) {
        RenderWithLanguage(data, start);
    } else {
        TSequenceMatcher matcher(table_, data, ignorePcl);
        for (std::size_t p = start; p < data.size();) {
            const TMatch match = matcher.Match(p);
            ApplyMeaning(RelativePitch(match.meaning, status.Pitch), data.subspan(p, match.length));
            p += match.length;
        }
    }
    language_.reset();
    status_ = nullptr;
}

// The table first: a sequence it knows keeps its meaning, but for the language's own reset.
// The language reads the rest; the HP-PCL rule of the table has no say.
void TPrintInterface::RenderWithLanguage(ByteView data, std::size_t start) {
    language_->Begin(*this);
    TSequenceMatcher matcher(table_, data, false);
    for (std::size_t p = start; p < data.size();) {
        const auto known = MatchBeforeLanguage(*language_, matcher, data, p);
        if (known) {
            language_->Flush(*this);
            ApplyMeaning(RelativePitch(known->meaning, status_->Pitch),
                         data.subspan(p, known->length));
            p += known->length;
        } else {
            p += language_->Step(data, p, this).length;
        }
    }
    language_->Flush(*this);
    if (PageHasContent()) EndPage();
}

void TPrintInterface::ApplyMeaning(TSequenceMeaning m, ByteView bytes) {
    TPrinterStatus& status = *status_;
    switch (m) {
        case kPrintable:
            DrawRun(bytes);
            break;
        case kNewLine:
            NewLine();
            break;
        case kBack:
            EnsurePage();
            alongPos_ = std::max<double>(LineStart(), alongPos_ - charAdvance_ - extraSpacePx_);
            column_ = std::max(0, column_ - 1);
            break;
        case kBoldOn:
        case kBoldOff:
            SetStyle(font_style::kBold, m == kBoldOn);
            break;
        case kUnderlineOn:
        case kUnderlineOff:
            SetStyle(font_style::kUnderline, m == kUnderlineOn);
            if (scores_[0] != 0) SetScoreLine(1, m == kUnderlineOn ? 1 : 0);
            break;
        case kItalicOn:
        case kItalicOff:
            SetStyle(font_style::kItalic, m == kItalicOn);
            break;
        case kCpi10:
        case kCpi12:
        case kCpi17:
        case kCpi20:
        case kCpi24:
        case kCpi5:
            SelectCpi(m);
            break;
        case kEnlargedLine:
        case kEnlargedMulti:
            EnsurePage();
            if (!status.Enlarged) charAdvance_ *= 2;
            status.Enlarged = true;
            status.EnlargedMultiLine = m == kEnlargedMulti;
            break;
        case kEnlargedOff:
            EnsurePage();
            if (status.Enlarged) charAdvance_ /= 2;
            status.Enlarged = false;
            status.EnlargedMultiLine = false;
            break;
        case kNewPage:
            pendingNewPage_ = true;
            break;
        case kReset:
        case kResetEject:
            Reset(m == kResetEject);
            break;
        case kCarriageReturn: {
            const TPoint pen = printer_.PenPos();
            const int lineStart = static_cast<int>(LineStart());
            if (landscape_) {
                printer_.MoveTo(pen.x, lineStart);
            } else {
                printer_.MoveTo(lineStart, pen.y);
            }
            alongPos_ = LineStart();
            column_ = 0;
            break;
        }
        case kSubscript:
            status.Subscript = true;
            status.Superscript = false;
            break;
        case kSuperscript:
            status.Superscript = true;
            status.Subscript = false;
            break;
        case kScriptOff:
            status.Subscript = false;
            status.Superscript = false;
            break;
        case kPortrait:
        case kLandscape:
            SetOrientation(m == kLandscape);
            RequirePrintableArea();
            if (PageHasContent()) {
                pendingNewPage_ = true;
            } else {
                BeginSheet();
            }
            if (language_) {
                SetPitch(cpi_);
            } else {
                SelectCpi(status.Pitch);
            }
            break;
        case kTab: {
            if (language_) {
                const double stop = language_->NextTab(Along(), *this);
                if (stop >= 0) MoveAlongPx(LineStart() + stop * HorizontalInch());
                break;
            }
            const int next = (column_ / 8 + 1) * 8;
            MoveAlongPx(alongPos_ + (next - column_) * charAdvance_);
            column_ = next;
            break;
        }
        case kLpi1:
        case kLpi2:
        case kLpi3:
        case kLpi4:
        case kLpi6:
        case kLpi8:
        case kLpi12:
        case kLpi16:
        case kLpi24:
        case kLpi48:
            status.LineSpacing = LineSpacingFor(m);
            break;
        default:  // ignore, relative pitch changes without effect, and unknown meanings
            break;
    }
}

// Inlined into DrawMapped: it runs for every run drawn.
[[gnu::always_inline]] inline int TPrintInterface::PrepareFont(std::uint8_t charset) {
    const TPrinterStatus& status = *status_;
    // The run's font: the face and charset are set once per printout; only the cell and the
    // style change between runs, so no allocation happens per character.
    // Double height stands on the line's baseline, 3/4 of the cell down; on the first line of
    // a page, with nothing above it, the printer keeps the normal height.
    const bool tall = Tall();
    const bool script = !tall && (status.Subscript || status.Superscript);
    TFontDesc& font = runFont_;
    font.charset = charset;
    int letter = lineHeight_;
    if (points_ > 0 || proportional_) [[unlikely]] {
        // Letters of their own size, and proportional ones, keep their natural width.
        if (points_ > 0)
            letter = static_cast<int>(std::lround(lineHeight_ * points_ / kGridPoints));
        font.width = 0;
        font.stretch = status.Enlarged ? 2 : 1;
        font.pitch = proportional_ ? 1 : 2;
    } else {
        font.width = static_cast<int>(script ? 0.72 * charAdvance_ : charAdvance_);
        font.stretch = 0;
        font.pitch = 2;
    }
    font.height = tall ? 2 * letter : script ? static_cast<int>(0.72 * letter) : letter;
    // Where the next run starts, also for a smaller script cell.
    font.advance = charAdvance_ + extraSpacePx_;
    font.escapement = font.orientation = landscape_ ? -900 : 0;
    font.weight = (canvasStyle_ & font_style::kBold) ? 700 : 400;
    font.italic = canvasStyle_ & font_style::kItalic;
    font.underline = canvasStyle_ & font_style::kUnderline;
    font.strikeOut = canvasStyle_ & font_style::kStrikeOut;
    font.outline = canvasStyle_ & font_style::kOutline;

    // Across the line: subscript sits lower, superscript higher, the pen stays; taller
    // letters grow upward from the baseline.
    int shift = 0;
    if (script && status.Subscript) shift = static_cast<int>(letter * 0.33);
    if (script && status.Superscript) shift = -static_cast<int>(letter * 0.05);
    if (tall) {
        shift = -static_cast<int>(0.75 * (2 * letter - lineHeight_));
    } else if (!script && letter != lineHeight_) {
        shift = -static_cast<int>(0.75 * (letter - lineHeight_));
    }
    return shift;
}

// Inlined into DrawRun: it runs for every character drawn.
[[gnu::always_inline]] inline void TPrintInterface::DrawMapped(std::size_t from, std::size_t count,
                                                               std::uint8_t charset) {
    EnsurePage();
    const int shift = PrepareFont(charset);
    const double step = charAdvance_ + extraSpacePx_;
    // Cells beyond any device position (a very long line) cannot be placed and would not
    // show on the sheet: they are passed over.
    if (std::abs(alongPos_) < kFarAway) {
        const TPoint pen = printer_.PenPos();
        const int along = static_cast<int>(alongPos_);
        const ByteView text(runText_.data() + from, count);
        const int across = landscape_ ? pen.x - shift : pen.y + shift;
        const int x = landscape_ ? across : along;
        const int y = landscape_ ? along : across;
        if (canvasStyle_ & font_style::kShadow) [[unlikely]]
            DrawShadow(x, y, runFont_, text);
        printer_.TextOut(x, y, runFont_, text);
        if (scored_) [[unlikely]]
            DrawScores(alongPos_, alongPos_ + static_cast<double>(count) * step, across,
                       runFont_.height);
    }
    MoveAlongPx(alongPos_ + static_cast<double>(count) * step);
    column_ += static_cast<int>(count);
}

void TPrintInterface::DrawProportional(std::size_t count, std::uint8_t charset) {
    for (std::size_t i = 0; i < count; ++i) {
        EnsurePage();
        PrepareFont(charset);
        const std::uint8_t byte = runText_[i];
        const double step = printer_.Advance(runFont_, byte) + extraSpacePx_;
        WrapFor(step);
        const int shift = PrepareFont(charset);
        if (std::abs(alongPos_) < kFarAway) {
            const TPoint pen = printer_.PenPos();
            const int along = static_cast<int>(alongPos_);
            const ByteView text(runText_.data() + i, 1);
            const int across = landscape_ ? pen.x - shift : pen.y + shift;
            const int x = landscape_ ? across : along;
            const int y = landscape_ ? along : across;
            if (canvasStyle_ & font_style::kShadow) DrawShadow(x, y, runFont_, text);
            printer_.TextOut(x, y, runFont_, text);
            if (scored_) DrawScores(alongPos_, alongPos_ + step, across, runFont_.height);
        }
        MoveAlongPx(alongPos_ + step);
        ++column_;
    }
}

void TPrintInterface::PrintCharacter(char32_t ch) {
    // In the charset of the map when it has the character, else in Windows-1252, else in the
    // first charset that has it (the DOS code page 852 holds box drawing, Windows-1251 and
    // -1253 Cyrillic and Greek), else as "?".
    const std::uint8_t own = mapCharset_;
    // With box lines, box drawing and blocks are shapes, and a sign that no charset holds is
    // code page 437's.
    const auto dos = boxLines_ && ch >= 0x80 ? FromUnicode(CodePage::kCp437, ch) : std::nullopt;
    if (dos && IsShapeByte(*dos)) {
        const std::uint8_t bytes[1] = {*dos};
        DrawShapes(ByteView(bytes, 1));
        return;
    }
    // Control characters are never looked up: their bytes are not drawn as characters.
    for (std::uint8_t charset : {own, std::uint8_t{0}, std::uint8_t{255}, std::uint8_t{238},
                                 std::uint8_t{204}, std::uint8_t{186}, std::uint8_t{161}}) {
        const auto b = ch >= 0x20 ? FromUnicode(CodePageForCharset(charset), ch) : std::nullopt;
        if (!b) continue;
        runText_.assign(1, *b);
        DrawText(1, charset);
        return;
    }
    if (dos) {
        runText_.assign(1, *dos);
        DrawText(1, kCp437Charset);
        return;
    }
    runText_.assign(1, '?');
    DrawText(1, own);
}

void TPrintInterface::DrawRun(ByteView bytes) {
    runText_.resize(bytes.size());
    bool graphic = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        runText_[i] = map_.Map[bytes[i]];
        graphic |= graphics_[bytes[i]] != TGraphic::kNone;
    }
    if (graphic) {
        DrawWithGraphics(bytes);
    } else {
        DrawText(bytes.size(), mapCharset_);
    }
}

void TPrintInterface::DrawWithGraphics(ByteView bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const TGraphic kind = graphics_[bytes[i]];
        std::size_t n = 1;
        while (i + n < bytes.size() && graphics_[bytes[i + n]] == kind) ++n;
        const ByteView piece = bytes.subspan(i, n);
        switch (kind) {
            case TGraphic::kNone:
                runText_.resize(n);
                for (std::size_t k = 0; k < n; ++k) runText_[k] = map_.Map[piece[k]];
                DrawText(n, mapCharset_);
                break;
            case TGraphic::kSign:
                runText_.assign(piece.begin(), piece.end());
                DrawText(n, kCp437Charset);
                break;
            case TGraphic::kShape:
                DrawShapes(piece);
                break;
        }
        i += n;
    }
}

void TPrintInterface::DrawShapes(ByteView bytes) {
    std::vector<TShapeRect> shapes;
    std::vector<TRect> rects;
    for (const std::uint8_t byte : bytes) {
        const double step = charAdvance_ + extraSpacePx_;
        WrapFor(step);
        EnsurePage();
        // The cell the text would take (DrawMapped).
        const TPrinterStatus& status = *status_;
        const bool tall = Tall();
        const bool script = !tall && (status.Subscript || status.Superscript);
        int shift = 0;
        if (script && status.Subscript) shift = static_cast<int>(lineHeight_ * 0.33);
        if (script && status.Superscript) shift = -static_cast<int>(lineHeight_ * 0.05);
        if (tall) shift = -static_cast<int>(lineHeight_ * 0.75);
        if (std::abs(alongPos_) < kFarAway) {
            TShapeCell cell;
            cell.along = alongPos_;
            cell.width = script ? 0.72 * charAdvance_ : charAdvance_;
            cell.step = step;
            cell.height = tall     ? 2 * lineHeight_
                          : script ? static_cast<int>(0.72 * lineHeight_)
                                   : lineHeight_;
            // Down to the next line when that is further than the cell reaches.
            const double lineStep = lineHeight_ * status.LineSpacing - shift;
            cell.reach = static_cast<int>(std::ceil(std::clamp(lineStep, 0.0, kFarAway)));
            // A line about as thick as a dot of a 24-pin head: 1/16 of a line of 6 to the inch.
            cell.stroke = std::max(1, static_cast<int>(std::lround(lineHeight_ / 16.0)));
            shapes.clear();
            AppendShape(byte, cell, shapes);
            const TPoint pen = printer_.PenPos();
            const int top = landscape_ ? pen.x - shift : pen.y + shift;
            for (std::size_t i = 0; i < shapes.size();) {
                // Rectangles of one ink together (a shade is one rectangle).
                const std::uint8_t ink = shapes[i].ink;
                rects.clear();
                for (; i < shapes.size() && shapes[i].ink == ink; ++i) {
                    const TShapeRect& r = shapes[i];
                    if (landscape_) {
                        // Turned as the text is: across the line runs toward the left.
                        rects.push_back({top - r.across1, r.along0, top - r.across0, r.along1});
                    } else {
                        rects.push_back({r.along0, top + r.across0, r.along1, top + r.across1});
                    }
                }
                printer_.FillRects(rects, ink);
            }
        }
        MoveAlongPx(alongPos_ + step);
        ++column_;
    }
}

// Rounding errors of a full line are not an overflow.
constexpr double kSlack = 0.01;

void TPrintInterface::WrapFor(double step) {
    EnsurePage();
    if (wrap_ && alongPos_ + step > RightLimitPx() + kSlack && alongPos_ > LineStart() + kSlack) {
        NewLine();
        EnsurePage();
    }
}

void TPrintInterface::DrawWrapped(std::size_t count, std::uint8_t charset) {
    for (std::size_t from = 0; from < count;) {
        EnsurePage();
        const double step = charAdvance_ + extraSpacePx_;
        const double room = RightLimitPx() - alongPos_ + kSlack;
        std::size_t fits = count;
        if (step > 0) {
            fits = room > 0
                       ? static_cast<std::size_t>(std::min(room / step, static_cast<double>(count)))
                       : 0;
        }
        if (fits == 0) {
            // A cell wider than the whole line still prints, at its start.
            if (alongPos_ > LineStart() + kSlack) {
                NewLine();
                continue;
            }
            fits = 1;
        }
        const std::size_t n = std::min(fits, count - from);
        DrawMapped(from, n, charset);
        from += n;
    }
}

void TPrintInterface::NewLine() {
    EnsurePage();
    if (language_) {
        Feed(status_->LineSpacing / 6);
        return;
    }
    linePosition_ += status_->LineSpacing;
    const double step = std::trunc(lineHeight_ * status_->LineSpacing);
    const TPoint pen = printer_.PenPos();
    const auto across = [&](double v) {
        return static_cast<int>(std::clamp(v, -kFarAway, kFarAway));
    };
    if (landscape_) {
        printer_.MoveTo(across(pen.x - step), LineStart());
    } else {
        printer_.MoveTo(LineStart(), across(pen.y + step));
    }
    alongPos_ = LineStart();
    column_ = 0;
    EndEnlargedLine();
}

void TPrintInterface::Reset(bool eject) {
    // The language's reset ends what it keeps for the page (PCL's overlay): the page gets it now.
    if (language_ && PageHasContent()) EndPage();
    TPrinterStatus& status = *status_;
    status.Enlarged = false;
    status.EnlargedMultiLine = false;
    canvasStyle_ &= font_style::kStrikeOut;
    status.FontStyle = canvasStyle_;
    status.Subscript = false;
    status.Superscript = false;
    status.LineSpacing = 1.0;
    SelectCpi(kCpi10);
    if (language_) {
        // A printer's reset cancels every attribute, the score lines too.
        canvasStyle_ = 0;
        status.FontStyle = 0;
        language_->Reset();
        ResetLanguageLayout();
    }
    if (PageHasContent() && (eject || pendingNewPage_)) {
        pendingNewPage_ = true;
    } else if (language_ && PageHasContent()) {
        // A printer's reset feeds no paper: what follows prints from the left margin of the
        // line it came on, below what is printed already.
        alongPos_ = LineStart();
        column_ = 0;
        PlacePen();
        EndEnlargedLine();
    } else {
        BeginSheet();
    }
}

void TPrintInterface::SelectCpi(TSequenceMeaning code) {
    const double printable =
        landscape_ ? caps_.pageHeight - topPx_ - bottomPx_ : caps_.pageWidth - leftPx_ - rightPx_;
    charAdvance_ = printable / std::max(0.01, PitchFactor(code) * activeCharsPerLine_);
    if (status_->Enlarged) charAdvance_ *= 2;
    status_->Pitch = code;
    cpi_ = PitchFactor(code) * 10;
}

void TPrintInterface::SetStyle(std::uint8_t bit, bool on) {
    canvasStyle_ = on ? (canvasStyle_ | bit) : (canvasStyle_ & ~bit);
    status_->FontStyle = canvasStyle_;
}

void TPrintInterface::NextSheet() {
    if (language_) EndPage();
    printer_.NewPage();
    ++sheets_;
    BeginSheet();
}

void TPrintInterface::EndPage() {
    if (pageEnded_ || !language_) return;
    pageEnded_ = true;
    // At the top of the page, the print position kept for after.
    const double line = linePosition_, along = alongPos_;
    const int column = column_;
    const bool pending = pendingNewPage_;
    // A new sheet can be due in the middle of drawing a run: its text is kept aside.
    const Bytes run = runText_;
    pendingNewPage_ = false;
    linePosition_ = 1.0;
    alongPos_ = LineStart();
    language_->EndPage(*this);
    language_->Flush(*this);
    runText_ = run;
    linePosition_ = line;
    alongPos_ = along;
    column_ = column;
    pendingNewPage_ = pending;
    PlacePen();
}

void TPrintInterface::BeginSheet() {
    pendingNewPage_ = false;
    pageEnded_ = false;
    linePosition_ = 1.0;
    column_ = 0;
    pictureOnSheet_ = false;
    printer_.SetBkModeTransparent();
    if (services_.background != nullptr) services_.background->DrawBackground(printer_);
    ToPageOrigin();
    EndEnlargedLine();
}

void TPrintInterface::ToPageOrigin() {
    if (landscape_) {
        printer_.MoveTo(caps_.pageWidth - rightPx_, static_cast<int>(LineStart()));
    } else {
        printer_.MoveTo(static_cast<int>(LineStart()), topPx_);
    }
    alongPos_ = LineStart();
}

void TPrintInterface::MoveAlongPx(double along) {
    alongPos_ = along;
    const TPoint pen = printer_.PenPos();
    const int at = static_cast<int>(std::clamp(alongPos_, -kFarAway, kFarAway));
    if (landscape_) {
        printer_.MoveTo(pen.x, at);
    } else {
        printer_.MoveTo(at, pen.y);
    }
}

// Double width for one line ends at a line end or a new sheet.
void TPrintInterface::EndEnlargedLine() {
    if (status_->Enlarged && !status_->EnlargedMultiLine) {
        status_->Enlarged = false;
        charAdvance_ /= 2;
    }
}

Bytes BuildRawOutput(const TRawSettings& raw, const TCharMapRecord& map, ByteView data) {
    Bytes out;
    out.reserve(data.size() + 16);
    if (auto init = TextToSequence(raw.initText)) out = *init;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint8_t b = data[i];
        if (raw.fixCrLf && (b == kCr || b == kLf)) {
            out.push_back(kCr);
            out.push_back(kLf);
            if (b == kCr && i + 1 < data.size() && data[i + 1] == kLf) ++i;
        } else {
            out.push_back(raw.useCharMap ? map.Map[b] : b);
        }
    }
    if (raw.endWithFormFeed && (out.empty() || out.back() != kFormFeed)) out.push_back(kFormFeed);
    return out;
}

void PrintRaw(TPrintServices& services, const TPrintInterface& job, ByteView data) {
    services.history.Add("Druk w trybie bezpośrenim (RAW)");
    // An initialisation text in invalid notation is left out; one with a character the
    // printer's code page cannot carry is said, so the user learns why it is missing.
    std::string initError;
    if (!TextToSequence(services.raw.initText, &initError) && !initError.empty())
        services.errors.ShowError("Kod inicjujący pominięty: " + initError);
    const Bytes out = BuildRawOutput(services.raw, job.CharMap(), data);
    IPrinterPlatform& printer = services.printer;
    const std::string name = CurrentPrinterName(printer);
    // Failures end the printout with an error, so that its caller knows it was not printed
    // (the file monitor keeps such a printout).
    const int error = printer.RawOpen(name, printer.Title());
    if (error != 0) throw PrinterError(PrintSystemErrorText(name, error, ""));
    std::size_t written = 0;
    try {
        written = printer.RawWrite(out);
    } catch (...) {
        printer.RawClose();
        throw;
    }
    printer.RawClose();
    if (written < out.size()) {
        throw PrinterError(
            "Błąd wydruku w trybie bezpośrednim.\n"
            "Spróbuj drukować po wyłączeniu trybu bezpośredniego (RAW).");
    }
}

}  // namespace quernel
