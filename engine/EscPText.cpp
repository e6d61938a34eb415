#include "engine/EscPCommand.h"
#include "engine/EscPLanguage.h"

// ESC/P text: style, pitch, character spacing, typefaces, sizes and colour.

namespace quernel {

using namespace meaning;
using namespace escp;

bool TEscPLanguage::TextCommand(const TEscPCommand& cmd, IPage* page) {
    const int n = cmd.Arg(0);
    switch (cmd.key) {
        case ' ':
            if (page) page->SetExtraSpace(n * RelativeUnit());
            return true;
        case '!':
            if (!page) return true;
            page->Apply((n & 4) ? ((n & 1) ? kCpi20 : kCpi17) : ((n & 1) ? kCpi12 : kCpi10));
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
            if (page) page->Apply(kElite);
            return true;
        case 'P':
            if (page) page->Apply(kPica);
            return true;
        case 'g':
            if (page) page->SetPitch(15);
            return true;
        case 0x0F:
            if (page) page->Apply(kCondensed);
            return true;
        case 'W':
            if (page && IsOn(n)) page->Apply(kEnlargedMulti);
            if (page && IsOff(n)) page->Apply(kEnlargedOff);
            return true;
        case 0x0E:
            if (page) page->Apply(kEnlargedLine);
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
        // Colour.
        case 'r':
            return true;
        default:
            return false;
    }
}

}  // namespace quernel
