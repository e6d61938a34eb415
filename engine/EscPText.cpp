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
            if (!page) return true;
            if (hmi_) SelectPitch(pitch_, *page);  // which ends the HMI
            page->SetExtraSpace(n * RelativeUnit());
            return true;
        case '!':
            if (!page) return true;
            condensed_ = (n & 4) != 0;
            SelectPitch((n & 1) ? 12 : 10, *page);
            page->SetPointSize(0);
            Proportional((n & 2) != 0, *page);
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
            if (page && cmd.Arg(0) == 1) page->SetScoreLine(cmd.Arg(1), cmd.Arg(2));
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
        // Each pitch also selects letters of 10.5 points.
        case 'M':
        case 'P':
        case 'g':
            if (!page) return true;
            SelectPitch(cmd.key == 'M' ? 12 : cmd.key == 'P' ? 10 : 15, *page);
            page->SetPointSize(0);
            return true;
        case 0x0F:
            if (page) Condense(true, *page);
            return true;
        case 'W':
            if (page && hmi_) SelectPitch(pitch_, *page);  // which ends the HMI
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
        case 'X':  // ESC X m nL nH: pitch 360/m (1 proportional, 0 the same), size in half points
            if (!page) return true;
            if (n == 1) {
                Proportional(true, *page);
            } else if (n >= 5) {
                proportional_ = false;
                page->SetProportional(false);
                pitch_ = 360.0 / n;
                hmi_ = false;
                page->SetPitch(pitch_);
            }
            if (cmd.Word(1) > 0) page->SetPointSize(cmd.Word(1) / 2.0);
            return true;
        case 'c':  // the exact advance of every character, 1/360 inch, instead of the pitch
            if (!page || cmd.Word(0) <= 0) return true;
            hmi_ = true;
            page->SetProportional(false);
            page->SetExtraSpace(0);
            page->SetPitch(360.0 / cmd.Word(0));
            return true;
        case 'k':  // a typeface the printer does not have: the one in force stays
            if (KindOf(n)) typeface_ = n;
            if (page) page->SetTypeface(TypefaceKind());
            return true;
        case 'x':  // draft letters have no typeface of their own
            if (page) page->SetTypeface(TypefaceKind());
            return false;  // not this part's alone
        case 'p':
            if (page && (IsOn(n) || IsOff(n))) {
                Proportional(IsOn(n), *page);
                page->SetPointSize(0);
            }
            return true;
        case 'q':
            if (page) {
                page->SetStyle(font_style::kOutline, (n & 1) != 0);
                page->SetStyle(font_style::kShadow, (n & 2) != 0);
            }
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

std::optional<TFontKind> TEscPLanguage::TypefaceKind() const {
    if (draft_ || typeface_ < 0) return std::nullopt;
    return KindOf(typeface_);
}

std::optional<TFontKind> TEscPLanguage::KindOf(int typeface) {
    switch (typeface) {
        case 0:   // Roman
        case 10:  // Roman T
            return TFontKind::kSerif;
        case 1:   // Sans serif
        case 11:  // Sans serif H
            return TFontKind::kSans;
        case 2:  // Courier
        case 3:  // Prestige, a typewriter face
        case 5:  // OCR-B
        case 6:  // OCR-A
        case 7:  // Orator
        case 8:  // Orator-S
            return TFontKind::kMono;
        case 4:  // Script
        case 9:  // Script C
            return TFontKind::kScript;
        default:
            return std::nullopt;
    }
}

void TEscPLanguage::Proportional(bool on, IPage& page) {
    proportional_ = on;
    page.SetProportional(on);
    // Turned off, or on: the fixed pitch in force again (it ends an HMI).
    SelectPitch(pitch_, page);
}

void TEscPLanguage::SelectPitch(double cpi, IPage& page) {
    pitch_ = cpi;
    // The end of an HMI lets proportional letters take their own widths again.
    if (hmi_ && proportional_) page.SetProportional(true);
    hmi_ = false;
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
