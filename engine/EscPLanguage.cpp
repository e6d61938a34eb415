#include "engine/EscPLanguage.h"

#include "engine/EscPCommand.h"

// The reader of ESC/P: control codes and the dispatch of commands to the language's parts
// (EscPText, EscPLayout, EscPGraphics, EscPTables); how long commands are is EscPMeasure's.

namespace quernel {

using namespace meaning;
using namespace escp;

TEscPLanguage::TEscPLanguage(TPins pins) : pins_(pins) {
    Reset();
}

void TEscPLanguage::Reset() {
    densities_ = kEscPDefaultDensities;
    unit_ = 0;
    tabs_.clear();
    for (std::size_t i = 1; i <= kMaxTabs; ++i) tabs_.push_back(0.8 * static_cast<double>(i));
    verticalTabs_.clear();
    verticalTabsSet_ = false;
    pitch_ = 10;
    condensed_ = false;
    proportional_ = false;
    hmi_ = false;
    typeface_ = -1;
    country_ = 0;
    tables_ = {TCharTable{true, nullptr}, TCharTable{}, TCharTable{}, TCharTable{}};
    table_ = 1;
    upperControls_ = false;
    printControls_ = false;
    userSet_ = false;
    draft_ = false;
    tiff_ = TTiffRaster();
}

void TEscPLanguage::Begin(IPage& page) {
    page.SetLineWrap(true);
    // The pitch a printout starts in, which the last one may have left (condensed is 17.14
    // or 20 characters an inch).
    const double cpi = page.Pitch();
    condensed_ = cpi > 16;
    pitch_ = cpi > 18.5 ? 12 : cpi > 16 ? 10 : cpi > 13.5 ? 15 : cpi > 11 ? 12 : 10;
}

bool TEscPLanguage::ReadsBeforeTable(ByteView data, std::size_t p) const {
    if (InTiffMode()) return true;
    switch (data[p]) {
        case 0x0D:  // a lone CR; CR LF stays the table's line end
            return p + 1 >= data.size() || data[p + 1] != 0x0A;
        case 0x08:
        case 0x0F:
        case 0x12:
            return true;
        case kEsc:
            return p + 1 < data.size() && (data[p + 1] == 'M' || data[p + 1] == 'P' ||
                                           data[p + 1] == 0x0F || data[p + 1] == 'x');
        default:
            return false;
    }
}

double TEscPLanguage::RelativeUnit() const {
    if (unit_ > 0) return unit_;
    return pins_ == TPins::k9 ? 1.0 / 120 : 1.0 / 180;
}

TLanguageStep TEscPLanguage::Step(ByteView data, std::size_t p, IPage* page) {
    if (InTiffMode()) return TiffStep(data, p, page);
    const std::uint8_t b = data[p];
    if (b == kEsc) return Command(data, p, page);
    if (b < 0x20 && !(printControls_ && PrintsAsCharacter(b))) return Control(b, page);
    return Text(b, page);
}

TLanguageStep TEscPLanguage::Control(std::uint8_t code, IPage* page) {
    if (const auto shared = SharedControlCode(code, page)) return *shared;
    TLanguageStep step{1, 0, false, 0, "Pominięty znak sterujący"};
    TSequenceMeaning m = kIgnore;
    switch (code) {
        case 0x07:
            step.name = "Sygnał dźwiękowy";
            break;
        case 0x0B:
            step.name = "Tabulacja pionowa";
            if (page) VerticalTab(*page);
            return step;
        case 0x0E:
            step.name = "Podwójna szerokość (1 linia)";
            m = kEnlargedLine;
            break;
        case 0x0F:
            step.name = "Zagęszczenie";
            if (page) Condense(true, *page);
            return step;
        case 0x11:
            step.name = "Wybór drukarki";
            break;
        case 0x12:
            step.name = "Bez zagęszczenia";
            if (page) Condense(false, *page);
            return step;
        case 0x13:
            step.name = "Odłączenie drukarki";
            break;
        case 0x14:
            step.name = "Bez podwójnej szerokości";
            m = kEnlargedOff;
            break;
        case 0x18:
            step.name = "Anulowanie linii";
            break;
        default:
            break;
    }
    if (page && m != kIgnore) page->Apply(m);
    return step;
}

TLanguageStep TEscPLanguage::Command(ByteView data, std::size_t p, IPage* page) {
    const TEscPMeasure m = MeasureEscP(data, p, pins_, densities_);
    TLanguageStep step{m.length, m.payload, false, 0, "Nieznane polecenie"};
    if (m.length < 2) {
        step.name = "ESC bez polecenia";
        return step;
    }
    if (!m.known) return step;
    const TEscPCommand cmd = TEscPCommand::Read(data, p, m.length, m.complete);
    step.name = CommandName(cmd, densities_);
    // A command cut short by the end of the printout is skipped, not carried out.
    if (!cmd.complete) return step;
    if (cmd.key == '@') {
        if (page) {
            page->Apply(kReset);  // which resets this language too
        } else {
            Reset();
        }
        return step;
    }
    if (GraphicsCommand(cmd, page) || TableCommand(cmd, page) || UserCharacterCommand(cmd) ||
        BarcodeCommand(cmd, page) || TextCommand(cmd, page)) {
        return step;
    }
    LayoutCommand(cmd, page);
    return step;
}

}  // namespace quernel
