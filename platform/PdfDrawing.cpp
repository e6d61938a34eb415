// Drawing on a PDF page: text runs on the character grid, underlines and strike-outs.

#include <algorithm>
#include <climits>

#include "platform/PdfDocumentImpl.h"

namespace quernel {

using namespace pdf;

namespace {

// Up to this many blank cells between two glyphs are shown as space glyphs, which compress
// better than a position adjustment; wider gaps become an adjustment.
constexpr int kMaxSpaceGlyphs = 8;
// A new underline or strike-out may extend one of this many lines drawn last.
constexpr std::size_t kLinesMerged = 4;

}  // namespace

// ---------------------------------------------------------------- text

void TPdfDocument::TImpl::TextOut(int x, int y, const TFontDesc& desc, ByteView text) {
    // The renderer's usual call: one character in the cell right after the last one, in the
    // same font, continuing the open run.
    if (text.size() == 1 && next.entry != nullptr && x == next.x && y == next.y &&
        !desc.underline && !desc.strikeOut && SameFont(next.entry->desc, desc)) {
        const TEntry& entry = *next.entry;
        const TCell& cell = entry.cells[text[0]];
        if (cell.style >= 0) {
            const TTextStyle& style = entry.styles[static_cast<std::size_t>(cell.style)];
            if (&style == runStylePtr && AppendToRun(style, next.along, cell.code, style.step)) {
                StepNext(entry, 1);
                return;
            }
        } else if (cell.style == kBlank) {
            StepNext(entry, 1);
            return;
        }
    }
    TextOutGeneral(x, y, desc, text);
}

void TPdfDocument::TImpl::TextOutGeneral(int x, int y, const TFontDesc& desc, ByteView text) {
    if (text.empty()) return;
    TEntry& entry = lastEntry && SameFont(lastEntry->desc, desc) ? *lastEntry : EntryFor(desc);
    const ICellFont& s = *entry.cell;
    // The baseline of the first cell: ascent pixels toward the foot of the characters.
    double baseX = 0, baseY = 0;
    const auto findBase = [&] {
        baseX = x - s.ascent * entry.dirY;
        baseY = y + s.ascent * entry.dirX;
    };
    // Where the first cell lies along the open run, when it is on the run's baseline. A call
    // that goes on exactly where the last one ended (the renderer draws a line one character
    // at a time) is known to be on it.
    double along = next.along;
    bool onRun = &entry == next.entry && x == next.x && y == next.y && runOpen;
    if (!onRun) {
        findBase();
        onRun = OnRunBaseline(baseX, baseY, along);
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const TCell* cell = &entry.cells[text[i]];
        if (cell->style < 0) {
            if (cell->style == kBlank) continue;
            Resolve(entry, text[i]);
            if (cell->style == kBlank) continue;
        }
        const TTextStyle& style = entry.styles[static_cast<std::size_t>(cell->style)];
        const double offset = static_cast<double>(i) * s.advance;
        const double step = cell->step > 0 ? cell->step : style.step;
        if (onRun && &style == runStylePtr &&
            AppendToRun(style, along + offset, cell->code, step)) {
            continue;
        }
        findBase();
        Show(style, baseX + offset * entry.dirX, baseY + offset * entry.dirY, cell->code, step);
        onRun = OnRunBaseline(baseX, baseY, along);
    }

    if (onRun && entry.grid) {
        next = {&entry, x, y, along};
        StepNext(entry, text.size());
    } else {
        next.entry = nullptr;
    }

    // Lines run under the whole text, blanks included.
    if (desc.underline || desc.strikeOut) {
        findBase();
        const double length = static_cast<double>(text.size()) * s.advance;
        if (desc.underline) {
            AddLine({baseX, baseY, entry.dirX, entry.dirY, s.underlinePos - s.lineWidth / 2,
                     s.lineWidth, length});
        }
        if (desc.strikeOut) {
            AddLine({baseX, baseY, entry.dirX, entry.dirY, -s.strikeOutPos - s.lineWidth / 2,
                     s.lineWidth, length});
        }
    }
}

// Moves the expected next cell `cells` cells on, computed in 64 bits: far out along a very long
// line, where an int would overflow, the next call is simply not taken as a continuation.
void TPdfDocument::TImpl::StepNext(const TEntry& entry, std::size_t cells) {
    const auto n = static_cast<std::int64_t>(std::min<std::size_t>(cells, 1u << 30));
    const std::int64_t x = next.x + n * entry.stepX;
    const std::int64_t y = next.y + n * entry.stepY;
    if (x < INT_MIN || x > INT_MAX || y < INT_MIN || y > INT_MAX) {
        next.entry = nullptr;
        return;
    }
    next.x = static_cast<int>(x);
    next.y = static_cast<int>(y);
    next.along += static_cast<double>(n) * entry.cell->advance;
}

bool TPdfDocument::TImpl::AppendToRun(const TTextStyle& style, double along, char code,
                                      double step) {
    const double delta = along - runPos;
    if (std::abs(delta) < style.slack) {
        content.Code(code);
        runPos += step;
        return true;
    }
    if (style.hasSpace && delta > 0) {
        const double blanks = static_cast<double>(static_cast<long>(delta * style.perStep + 0.5));
        if (blanks <= kMaxSpaceGlyphs && std::abs(delta - blanks * style.step) < style.slack) {
            for (int k = 0; k < static_cast<int>(blanks); ++k) content.Code(style.space);
            content.Code(code);
            runPos += blanks * style.step + step;
            return true;
        }
    }
    return false;
}

bool TPdfDocument::TImpl::OnRunBaseline(double x, double y, double& along) const {
    if (!runOpen) return false;
    const double dx = x - runX;
    const double dy = y - runY;
    along = dx * runStyle.dirX + dy * runStyle.dirY;
    return std::abs(dx * runStyle.dirY - dy * runStyle.dirX) < kSamePosition;
}

void TPdfDocument::TImpl::Show(const TTextStyle& style, double x, double y, char code,
                               double step) {
    const bool same = runOpen && (runStylePtr == &style || runStyle == style);
    const double dx = x - runX;
    const double dy = y - runY;
    // On the open run's baseline, in its direction and slant: the text goes on from the
    // viewer's text position, with no move of the line, also in a new style when both place
    // glyphs within a pixel (a move of the line puts a new run exactly where it is asked for).
    if (runOpen && std::abs(dx * style.dirY - dy * style.dirX) < kSamePosition &&
        (same || (style.exact && runStyle.exact && style.dirX == runStyle.dirX &&
                  style.dirY == runStyle.dirY && style.slant == runStyle.slant))) {
        double delta = dx * style.dirX + dy * style.dirY - runPos;
        if (!same) {
            // Blank cells before a change of style are usually the old style's.
            if (runStyle.hasSpace && delta >= runStyle.step / 2) {
                const double blanks = std::floor(delta / runStyle.step + 0.5);
                if (blanks <= kMaxSpaceGlyphs &&
                    std::abs(delta - blanks * runStyle.step) < runStyle.slack) {
                    for (int k = 0; k < static_cast<int>(blanks); ++k) {
                        content.Code(runStyle.space);
                    }
                    runPos += blanks * runStyle.step;
                    delta -= blanks * runStyle.step;
                }
            }
            content += ")]TJ\n";
            SetState(style);
            content += "[(";
            runStyle = style;
            next.entry = nullptr;
        }
        runStylePtr = &style;
        if (delta >= style.step / 2 && style.hasSpace) {
            // Whole blank cells, give or take what earlier adjustments left over.
            const double blanks = std::floor(delta / style.step + 0.5);
            if (blanks >= 1 && blanks <= kMaxSpaceGlyphs) {
                for (int k = 0; k < static_cast<int>(blanks); ++k) content.Code(style.space);
                runPos += blanks * style.step;
                delta -= blanks * style.step;
            }
        }
        if (std::abs(delta) >= style.slack) {
            // In tenths: the same gap then always gets the same number, which compresses
            // better than whole numbers alternating to make up for their rounding.
            const double adjust = Round(-delta / style.unit, 1);
            std::string number;
            if (content.EndsWith("[(")) {
                content.Drop(1);  // no empty string before the number
            } else {
                number = ")";
            }
            AppendPdfNumber(number, adjust, 1);
            number += '(';
            content += number;
            runPos -= adjust * style.unit;
        }
    } else {
        StartRun(style, x, y);
        runStylePtr = &style;
    }
    content.Code(code);
    runPos += step;
}

void TPdfDocument::TImpl::SetState(const TTextStyle& style) {
    if (style.font != stateFont || style.size != stateSize) {
        content += '/';
        content += fonts[static_cast<std::size_t>(style.font)].name;
        content += ' ';
        content.Numbers({style.size}, 3);
        content += "Tf\n";
        stateFont = style.font;
        stateSize = style.size;
    }
    if (style.scale != stateScale) {
        content.Numbers({style.scale * 100}, 2);
        content += "Tz\n";
        stateScale = style.scale;
    }
    if (style.spacing != stateSpacing) {
        content.Numbers({style.spacing}, 4);
        content += "Tc\n";
        stateSpacing = style.spacing;
    }
    if (style.stroke != stateStroke || style.outline != stateOutline) {
        if (style.stroke > 0) {
            content.Numbers({style.stroke}, 2);
            // Stroked only (an outline), or filled and stroked (a synthetic bold).
            content += style.outline ? "w 1 Tr\n" : "w 2 Tr\n";
        } else {
            content += "0 Tr\n";
        }
        stateStroke = style.stroke;
        stateOutline = style.outline;
    }
}

void TPdfDocument::TImpl::StartRun(const TTextStyle& style, double x, double y) {
    CloseRun();
    if (!inText) {
        content += "BT\n";
        inText = true;
        haveLine = false;
    }
    SetState(style);

    // Text space: x along the baseline, y toward the top of the characters (slanted for a
    // synthetic italic); the page's y grows downward.
    const double a = style.dirX, b = style.dirY;
    const double c = style.dirY + style.slant * style.dirX;
    const double d = -style.dirX + style.slant * style.dirY;
    if (haveLine && a == lineA && b == lineB && c == lineC && d == lineD) {
        const double det = a * d - b * c;
        const double tx = Round((d * (x - lineX) - c * (y - lineY)) / det, 2);
        const double ty = Round((a * (y - lineY) - b * (x - lineX)) / det, 2);
        if (tx == 0 && ty < 0) {
            // The next line: T* moves by the leading, set once.
            if (-ty != stateLeading) {
                content.Numbers({-ty}, 2);
                content += "TL ";
                stateLeading = -ty;
            }
            content += "T*";
        } else {
            content.Numbers({tx, ty}, 2);
            content += "Td";
        }
        lineX += a * tx + c * ty;
        lineY += b * tx + d * ty;
    } else {
        content.Numbers({a, b, c, d}, 4);
        lineX = Round(x, 2);
        lineY = Round(y, 2);
        content.Numbers({lineX, lineY}, 2);
        content += "Tm\n";
        lineA = a, lineB = b, lineC = c, lineD = d;
        haveLine = true;
    }
    content += "[(";
    runOpen = true;
    next.entry = nullptr;
    runStyle = style;
    runX = x;
    runY = y;
    // Where the line start really is, seen from the exact point.
    runPos = (lineX - x) * style.dirX + (lineY - y) * style.dirY;
}

void TPdfDocument::TImpl::CloseRun() {
    if (!runOpen) return;
    content += ")]TJ\n";
    runOpen = false;
    runStylePtr = nullptr;
    next.entry = nullptr;
}

void TPdfDocument::TImpl::AddLine(const TLine& line) {
    // A line that starts on a recent line of the same kind, or at most a pixel after its end
    // (the renderer truncates the cells' positions), extends it: one continuous line, as a
    // printer draws it. An underline and a strike-out of the same text alternate.
    const std::size_t first = lines.size() > kLinesMerged ? lines.size() - kLinesMerged : 0;
    for (std::size_t i = lines.size(); i-- > first;) {
        TLine& last = lines[i];
        if (last.dirX != line.dirX || last.dirY != line.dirY || last.top != line.top ||
            last.thickness != line.thickness) {
            continue;
        }
        const double dx = line.x - last.x;
        const double dy = line.y - last.y;
        const double along = dx * last.dirX + dy * last.dirY;
        if (std::abs(dx * last.dirY - dy * last.dirX) < kSamePosition && along > -kSamePosition &&
            along < last.length + kWithinPixel + kSamePosition) {
            last.length = std::max(last.length, along + line.length);
            return;
        }
    }
    lines.push_back(line);
}

void TPdfDocument::TImpl::FillRects(std::span<const TRect> rects, std::uint8_t ink) {
    for (const TRect& rect : rects) fills.Add(rect, ink);
}

void TPdfDocument::TImpl::SwitchColour() {
    EndText();
    std::string set;
    for (const char* op : {"rg ", "RG\n"}) {
        for (const int shift : {16, 8, 0}) {
            AppendPdfNumber(set, ((colour >> shift) & 0xFF) / 255.0, 3);
            set += ' ';
        }
        set += op;
    }
    content += set;
    contentColour = colour;
}

void TPdfDocument::TImpl::EndText() {
    CloseRun();
    if (inText) {
        content += "ET\n";
        inText = false;
    }
    if (!fills.Empty()) content += fills.Take(contentColour);
    if (lines.empty()) return;
    bool straight = false;
    for (const TLine& l : lines) {
        if (l.dirX == 1 && l.dirY == 0) {
            content.Numbers({l.x, l.y + l.top, l.length, l.thickness}, 2);
            content += "re\n";
            straight = true;
        }
    }
    if (straight) content += "f\n";
    for (const TLine& l : lines) {
        if (l.dirX == 1 && l.dirY == 0) continue;
        content += "q ";
        content.Numbers({l.dirX, l.dirY, -l.dirY, l.dirX}, 4);
        content.Numbers({l.x, l.y}, 2);
        content += "cm 0 ";
        content.Numbers({l.top, l.length, l.thickness}, 2);
        content += "re f Q\n";
    }
    lines.clear();
}

}  // namespace quernel
