#include <iterator>

#include "engine/EscPCommand.h"
#include "engine/EscPLanguage.h"

// ESC/P text: style, pitch, character spacing, typefaces, sizes and colour.

namespace quernel {

using namespace meaning;
using namespace escp;

namespace {

// ESC r n: black, magenta, cyan, violet (magenta and cyan), yellow, red (magenta and yellow),
// green (cyan and yellow).
constexpr std::uint32_t kRibbon[] = {0x000000, 0xE4007C, 0x009FE3, 0x4B2C8C,
                                     0xFFDD00, 0xE2001A, 0x009A3E};

}  // namespace

bool TEscPLanguage::TextCommand(const TEscPCommand& cmd, IPage* page) {
    const int n = cmd.Arg(0);
    switch (cmd.key) {
        case ' ':
            if (page) page->SetExtraSpace(n * RelativeUnit());
            return true;
        case '!':
            if (!page) return true;
            condensed_ = (n & 4) != 0;
            SelectPitch((n & 1) ? 12 : 10, *page);
            page->Apply((n & 0x18) ? kBoldOn : kBoldOff);
            page->Apply((n & 0x20) ? kEnlargedMulti : kEnlargedOff);
            page->Apply((n & 0x40) ? kItalicOn : kItalicOff);
            page->Apply((n & 0x80) ? kUnderlineOn : kUnderlineOff);
            return true;
        case '-':
            if (page && IsOn(n)) page->Apply(kUnderlineOn);
            if (page && IsOff(n)) page->Apply(kUnderlineOff);
            return true;
        case Ext('-'):  // ESC ( - nL nH m d1 d2: d1 the line's place, d2 its kind (0 none)
            if (page && cmd.Arg(1) == 1)
                page->Apply(cmd.Arg(2) != 0 ? kUnderlineOn : kUnderlineOff);
            if (page && cmd.Arg(1) == 2) page->SetStyle(font_style::kStrikeOut, cmd.Arg(2) != 0);
            return true;
        case '4':
            if (page) page->Apply(kItalicOn);
            return true;
        case '5':
            if (page) page->Apply(kItalicOff);
            return true;
        case 'E':
        case 'G':
            if (page) page->Apply(kBoldOn);
            return true;
        case 'F':
        case 'H':
            if (page) page->Apply(kBoldOff);
            return true;
        case 'S':
            if (page && IsOff(n)) page->Apply(kSuperscript);
            if (page && IsOn(n)) page->Apply(kSubscript);
            return true;
        case 'T':
            if (page) page->Apply(kScriptOff);
            return true;
        case 'M':
            if (page) SelectPitch(12, *page);
            return true;
        case 'P':
            if (page) SelectPitch(10, *page);
            return true;
        case 'g':
            if (page) SelectPitch(15, *page);
            return true;
        case 0x0F:
            if (page) Condense(true, *page);
            return true;
        case 'W':
            if (page && IsOn(n)) page->Apply(kEnlargedMulti);
            if (page && IsOff(n)) page->Apply(kEnlargedOff);
            return true;
        case 0x0E:
            if (page) page->Apply(kEnlargedLine);
            return true;
        case 'w':
            if (page && IsOn(n)) page->SetDoubleHeight(true);
            if (page && IsOff(n)) page->SetDoubleHeight(false);
            return true;
        // Typefaces and sizes.
        case 'X':
            if (page && n >= 5) page->SetPitch(360.0 / n);
            return true;
        case 'c':
            if (page && cmd.Word(0) > 0) page->SetPitch(360.0 / cmd.Word(0));
            return true;
        case 'k':  // typeface
        case 'p':  // proportional print
        case 'q':  // outline and shadow
            return true;
        // Colour: the ribbon's band, or two bands printed over each other.
        case 'r':
            if (page && n >= 0 && n < static_cast<int>(std::size(kRibbon))) {
                page->SetColour(kRibbon[n]);
            }
            return true;
        default:
            return false;
    }
}

void TEscPLanguage::SelectPitch(double cpi, IPage& page) {
    pitch_ = cpi;
    const bool condensed = condensed_ && cpi < 15;
    page.SetPitch(!condensed ? cpi : cpi < 11 ? 120.0 / 7 : 20);
}

void TEscPLanguage::Condense(bool on, IPage& page) {
    // The printer ignores condensed at 15 characters an inch.
    if (on && pitch_ >= 15) return;
    condensed_ = on;
    SelectPitch(pitch_, page);
}

}  // namespace quernel
