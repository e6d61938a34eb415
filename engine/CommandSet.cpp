#include "engine/CommandSet.h"

#include <algorithm>

#include "engine/EscPLanguage.h"
#include "engine/PclLanguage.h"

namespace quernel {

namespace {

constexpr std::uint8_t kEsc = 0x1B;
// How many escapes at the start of a printout are looked at for an automatic choice.
constexpr int kEscapesLookedAt = 8;

bool IsUniversalExit(ByteView data, std::size_t p) {
    static constexpr std::string_view kExit = "\x1b%-12345X";
    return data.size() - p >= kExit.size() &&
           std::equal(kExit.begin(), kExit.end(), data.begin() + static_cast<std::ptrdiff_t>(p));
}

}  // namespace

TCommandSet CommandSetFromSetting(int value) {
    return value >= 0 && value <= 3 ? static_cast<TCommandSet>(value) : TCommandSet::kTable;
}

std::optional<TCommandSet> CommandSetFromName(std::string_view name) {
    if (name == "table") return TCommandSet::kTable;
    if (name == "escp") return TCommandSet::kEscP;
    if (name == "pcl") return TCommandSet::kPcl;
    if (name == "auto") return TCommandSet::kAuto;
    return std::nullopt;
}

TCommandSet DetectCommandSet(ByteView data) {
    // The first escapes decide: a universal exit or a PCL command makes it PCL; a reset
    // (ESC E, also ESC/P's bold) waits for the next escape; anything else is ESC/P.
    int looked = 0;
    for (std::size_t p = 0; p < data.size() && looked < kEscapesLookedAt; ++p) {
        if (data[p] != kEsc) continue;
        ++looked;
        if (IsUniversalExit(data, p) || IsPclParameterised(data, p)) return TCommandSet::kPcl;
        if (p + 1 < data.size() && data[p + 1] == 'E') continue;
        return TCommandSet::kEscP;
    }
    return TCommandSet::kEscP;
}

std::optional<TLanguageStep> SharedControlCode(std::uint8_t code, IPage* page) {
    using namespace meaning;
    TLanguageStep step;
    TSequenceMeaning m = kIgnore;
    switch (code) {
        case 0x08:
            step.name = "Cofnięcie o znak";
            m = kBack;
            break;
        case 0x09:
            step.name = "Tabulator";
            m = kTab;
            break;
        case 0x0A:
            step.name = "Nowa linia";
            m = kNewLine;
            break;
        case 0x0C:
            step.name = "Nowa strona";
            m = kNewPage;
            break;
        case 0x0D:
            step.name = "Powrót karetki";
            m = kCarriageReturn;
            break;
        default:
            return std::nullopt;
    }
    if (page) page->Apply(m);
    return step;
}

std::unique_ptr<IPrinterLanguage> MakePrinterLanguage(TCommandSet set, ByteView data) {
    if (set == TCommandSet::kAuto) set = DetectCommandSet(data);
    switch (set) {
        case TCommandSet::kEscP:
            return std::make_unique<TEscPLanguage>(DetectPins(data));
        case TCommandSet::kPcl:
            return std::make_unique<TPclLanguage>();
        default:
            return nullptr;
    }
}

}  // namespace quernel
