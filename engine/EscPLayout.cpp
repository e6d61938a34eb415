#include <cstdint>

#include "engine/EscPCommand.h"
#include "engine/EscPLanguage.h"

// ESC/P layout: line spacing, feeds, positions, tab stops, margins and the page length.

namespace quernel {

using namespace meaning;
using namespace escp;

namespace {

// Stops from the bytes after the command's letter up to a NUL, each `unit` inches; an
// ascending list ends at the first stop that is not beyond the one before.
void ReadStops(ByteView bytes, double unit, std::vector<double>& stops) {
    stops.clear();
    for (std::uint8_t b : bytes) {
        if (b == kNul) break;
        const double stop = b * unit;
        if (!stops.empty() && stop <= stops.back()) break;
        stops.push_back(stop);
    }
}

}  // namespace

bool TEscPLanguage::LayoutCommand(const TEscPCommand& cmd, IPage* page) {
    if (cmd.key == Ext('U')) {
        if (cmd.params.size() >= 5 && cmd.Word(3) > 0) {
            unit_ = static_cast<double>(cmd.Arg(2)) / cmd.Word(3);  // horizontal unit over the base
        } else if (cmd.Arg(0) > 0) {
            unit_ = cmd.Arg(0) / 3600.0;
        }
        return true;
    }
    if (!page) return true;
    IPage& pg = *page;
    const int n = cmd.Arg(0);
    switch (cmd.key) {
        // Line spacing and feeds.
        case '0':
            pg.Apply(kLpi8);
            break;
        case '1':
            pg.SetLineSpacing(7.0 / 72);
            break;
        case '2':
            pg.Apply(kLpi6);
            break;
        case '3':
            pg.SetLineSpacing(n * FeedUnit());
            break;
        case 'A':
            pg.SetLineSpacing(n / (pins_ == TPins::k9 ? 72.0 : 60.0));
            break;
        case '+':
            pg.SetLineSpacing(n / 360.0);
            break;
        case 'J':
            pg.Feed(n * FeedUnit());
            break;
        case 'j':
            pg.MoveDown(pg.Down() - n * FeedUnit());
            break;
        case 'f':
            if (n == 0) pg.MoveAlong(pg.Along() + cmd.Arg(1) / pg.Pitch());
            if (n == 1) pg.Feed(cmd.Arg(1) * pg.LineSpacing());
            break;
        // Positions.
        // Positions beyond the right margin, or before the left one, are ignored.
        case '$': {
            const double along = cmd.Word(0) * AbsoluteUnit();
            if (along <= pg.LineEnd() + kEpsilon) pg.MoveAlong(along);
            break;
        }
        case '\\': {
            const double along =
                pg.Along() + static_cast<std::int16_t>(cmd.Word(0)) * RelativeUnit();
            if (along >= -kEpsilon && along <= pg.LineEnd() + kEpsilon) pg.MoveAlong(along);
            break;
        }
        case Ext('V'):
            pg.MoveDown(cmd.Word(0) * ExtendedUnit());
            break;
        case Ext('v'):
            pg.MoveDown(pg.Down() + static_cast<std::int16_t>(cmd.Word(0)) * ExtendedUnit());
            break;
        case Ext('$'): {
            const std::uint32_t v = static_cast<std::uint32_t>(cmd.Word(0)) |
                                    (static_cast<std::uint32_t>(cmd.Word(2)) << 16);
            pg.MoveAlong(v * ExtendedUnit());
            break;
        }
        // Tab stops.
        case 'B':
            ReadStops(cmd.params, pg.LineSpacing(), verticalTabs_);
            verticalTabsSet_ = true;
            break;
        case 'D':
            ReadStops(cmd.params, 1.0 / pg.Pitch(), tabs_);
            break;
        case 'e':
            if (n == 0 && cmd.Arg(1) > 0) {
                tabs_.clear();
                for (std::size_t i = 1; i <= kMaxTabs; ++i) {
                    tabs_.push_back(static_cast<double>(i * cmd.Arg(1)) / pg.Pitch());
                }
            }
            break;
        // Margins and the page.
        case 'l':
            pg.SetLeftMargin(n / pg.Pitch());
            break;
        case 'Q':  // n columns from the grid's left edge
            if (n > 0) pg.SetRightMargin(n / pg.Pitch());
            break;
        case 'C':
            pg.SetPageLength(n == 0 ? cmd.Arg(1) : n * pg.LineSpacing());
            break;
        case Ext('C'):
            pg.SetPageLength(cmd.Word(0) * ExtendedUnit());
            break;
        case Ext('c'):
            pg.SetPageLength(cmd.Word(2) * ExtendedUnit());
            break;
        case 'N':
            pg.SetBottomSkip(n * pg.LineSpacing());
            break;
        case 'O':
            pg.SetBottomSkip(0);
            break;
        default:
            return false;  // no effect on a page drawn here
    }
    return true;
}

double TEscPLanguage::NextTab(double along, IPage& page) {
    for (double stop : tabs_) {
        // A stop beyond the right margin is ignored.
        if (stop > along + kEpsilon) return stop <= page.LineEnd() + kEpsilon ? stop : -1;
    }
    return -1;
}

void TEscPLanguage::VerticalTab(IPage& page) {
    if (!verticalTabsSet_) {  // no stops since the last reset: a line feed
        page.Feed(page.LineSpacing());
        return;
    }
    if (verticalTabs_.empty()) {  // all cleared with ESC B NUL: a carriage return
        page.Apply(kCarriageReturn);
        return;
    }
    const double down = page.Down();
    for (double stop : verticalTabs_) {
        if (stop <= down + kEpsilon) continue;
        if (stop > page.PageEnd() + kEpsilon) break;  // in the bottom margin
        page.Feed(stop - down);  // to the left margin; ends one-line double width
        return;
    }
    page.Apply(kNewPage);  // no stop below on this page: the top of the next
}

}  // namespace quernel
