#include "engine/EscPLanguage.h"

#include <algorithm>

namespace quernel {

namespace {

using namespace meaning;

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kNul = 0x00;
constexpr double kEpsilon = 1e-9;
// Tab stops, horizontal and vertical, that one command may set at most.
constexpr std::size_t kMaxTabs = 32;
constexpr std::size_t kMaxVerticalTabs = 16;

// Every byte value, so that one byte can be printed from a view.
constexpr std::array<std::uint8_t, 256> kByteValues = [] {
    std::array<std::uint8_t, 256> values{};
    for (int i = 0; i < 256; ++i)
        values[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    return values;
}();

ByteView OneByte(std::uint8_t b) {
    return ByteView(&kByteValues[b], 1);
}

// The graphics of an ESC * mode: dots a column, dots an inch along the line.
struct TDensity {
    int dots;
    double dpi;
};

TDensity DensityOf(int mode) {
    switch (mode) {
        case 0:
            return {8, 60};
        case 1:
            return {8, 120};
        case 2:
            return {8, 120};
        case 3:
            return {8, 240};
        case 4:
            return {8, 80};
        case 5:
            return {8, 72};
        case 6:
            return {8, 90};
        case 7:
            return {8, 144};
        case 32:
            return {24, 60};
        case 33:
            return {24, 120};
        case 38:
            return {24, 90};
        case 39:
            return {24, 180};
        case 40:
            return {24, 360};
        case 71:
            return {48, 180};
        case 72:
            return {48, 360};
        case 73:
            return {48, 360};
        default:  // a mode no printer has: its data is skipped by the size its range implies
            return {mode < 32 ? 8 : mode < 64 ? 24 : 48, 60};
    }
}

int BytesPerColumn(int mode) {
    return DensityOf(mode).dots / 8;
}

// The input bytes that ESC/P 2 run-length data takes to give `size` bytes: a counter below
// 128 is followed by counter + 1 bytes as they are, a higher one by one byte repeated
// 257 - counter times. Past the end of the data when it is cut short.
std::size_t RunLengthInput(ByteView data, std::size_t from, std::size_t size) {
    std::size_t in = from, out = 0;
    while (out < size) {
        if (in >= data.size()) return data.size() - from + 1;
        const std::uint8_t counter = data[in++];
        if (counter < 128) {
            in += counter + 1u;
            out += counter + 1u;
        } else {
            ++in;
            out += 257u - counter;
        }
    }
    return in - from;
}

Bytes RunLengthDecode(ByteView data, std::size_t size) {
    Bytes out;
    out.reserve(size);
    std::size_t in = 0;
    while (out.size() < size && in < data.size()) {
        const std::uint8_t counter = data[in++];
        if (counter < 128) {
            for (unsigned i = 0; i <= counter && in < data.size(); ++i) out.push_back(data[in++]);
        } else if (in < data.size()) {
            out.insert(out.end(), 257u - counter, data[in++]);
        }
    }
    out.resize(size, 0);
    return out;
}

// Which of ESC K, L, Y and Z a letter names, as the index of its graphics mode; -1 for another.
int DensityIndex(int letter) {
    switch (letter) {
        case 'K':
            return 0;
        case 'L':
            return 1;
        case 'Y':
            return 2;
        case 'Z':
            return 3;
        default:
            return -1;
    }
}

bool IsOn(std::uint8_t n) {
    return n == 1 || n == '1';
}

bool IsOff(std::uint8_t n) {
    return n == 0 || n == '0';
}

// The twelve characters that the national sets replace, and what each country prints there.
constexpr std::array<std::uint8_t, 12> kNationalBytes = {0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D,
                                                         0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
constexpr char32_t kNational[15][12] = {
    {U'#', U'$', U'@', U'[', U'\\', U']', U'^', U'`', U'{', U'|', U'}', U'~'},  // USA
    {U'#', U'$', U'à', U'°', U'ç', U'§', U'^', U'`', U'é', U'ù', U'è', U'¨'},   // France
    {U'#', U'$', U'§', U'Ä', U'Ö', U'Ü', U'^', U'`', U'ä', U'ö', U'ü', U'ß'},   // Germany
    {U'£', U'$', U'@', U'[', U'\\', U']', U'^', U'`', U'{', U'|', U'}', U'~'},  // UK
    {U'#', U'$', U'@', U'Æ', U'Ø', U'Å', U'^', U'`', U'æ', U'ø', U'å', U'~'},   // Denmark I
    {U'#', U'¤', U'É', U'Ä', U'Ö', U'Å', U'Ü', U'é', U'ä', U'ö', U'å', U'ü'},   // Sweden
    {U'#', U'$', U'@', U'°', U'\\', U'é', U'^', U'ù', U'à', U'ò', U'è', U'ì'},  // Italy
    {U'₧', U'$', U'@', U'¡', U'Ñ', U'¿', U'^', U'`', U'¨', U'ñ', U'}', U'~'},   // Spain I
    {U'#', U'$', U'@', U'[', U'¥', U']', U'^', U'`', U'{', U'|', U'}', U'~'},   // Japan
    {U'#', U'¤', U'É', U'Æ', U'Ø', U'Å', U'Ü', U'é', U'æ', U'ø', U'å', U'ü'},   // Norway
    {U'#', U'$', U'É', U'Æ', U'Ø', U'Å', U'Ü', U'é', U'æ', U'ø', U'å', U'ü'},   // Denmark II
    {U'#', U'$', U'á', U'¡', U'Ñ', U'¿', U'é', U'`', U'í', U'ñ', U'ó', U'ú'},   // Spain II
    {U'#', U'$', U'á', U'¡', U'Ñ', U'¿', U'é', U'ü', U'í', U'ñ', U'ó', U'ú'},   // Latin America
    {U'#', U'$', U'@', U'[', U'₩', U']', U'^', U'`', U'{', U'|', U'}', U'~'},   // Korea
    {U'#', U'$', U'§', U'°', U'\'', U'"', U'¶', U'`', U'©', U'®', U'†', U'™'},  // Legal (64)
};

std::string_view ExtendedName(std::uint8_t c) {
    switch (c) {
        case 'C':
            return "Długość strony";
        case 'c':
            return "Format strony";
        case 'U':
            return "Jednostka miary";
        case 'V':
            return "Pozycja pionowa bezwzględna";
        case 'v':
            return "Pozycja pionowa względna";
        case '$':
            return "Pozycja pozioma bezwzględna";
        case 'G':
            return "Tryb grafiki";
        case 't':
            return "Przypisanie tablicy znaków";
        case '-':
            return "Linia pod, nad lub przez tekst";
        case '^':
            return "Dane drukowane jako znaki";
        case 'i':
            return "Mikroprzeplot";
        case 'B':
            return "Kod kreskowy";
        default:
            return "Polecenie rozszerzone";
    }
}

std::string_view GraphicsName(int mode) {
    switch (DensityOf(mode).dots) {
        case 24:
            return "Grafika 24-igłowa";
        case 48:
            return "Grafika 48-igłowa";
        default:
            return "Grafika 8-igłowa";
    }
}

// The name of a command without data of its own; empty for commands ESC/P does not have.
std::string_view CommandName(std::uint8_t c) {
    switch (c) {
        case ' ':
            return "Odstęp między znakami";
        case '!':
            return "Wybór trybu druku";
        case '#':
            return "Bit 8 bez zmian";
        case '$':
            return "Pozycja pozioma bezwzględna";
        case '%':
            return "Wybór znaków użytkownika";
        case '&':
            return "Definicja znaków użytkownika";
        case '+':
            return "Odstęp linii n/360 cala";
        case '-':
            return "Podkreślenie";
        case '/':
            return "Kanał tabulacji pionowej";
        case '0':
            return "Odstęp linii 1/8 cala";
        case '1':
            return "Odstęp linii 7/72 cala";
        case '2':
            return "Odstęp linii 1/6 cala";
        case '3':
            return "Odstęp linii";
        case '4':
            return "Kursywa";
        case '5':
            return "Bez kursywy";
        case '6':
            return "Górna połowa drukowana";
        case '7':
            return "Górne kody sterujące";
        case '8':
            return "Czujnik papieru wyłączony";
        case '9':
            return "Czujnik papieru włączony";
        case ':':
            return "Kopia znaków ROM";
        case '<':
            return "Druk jednokierunkowy (1 linia)";
        case '=':
            return "Bit 8 zerowany";
        case '>':
            return "Bit 8 ustawiony";
        case '?':
            return "Zmiana trybu grafiki";
        case '@':
            return "Inicjalizacja drukarki";
        case 'A':
            return "Odstęp linii n/72 cala";
        case 'B':
            return "Tabulatory pionowe";
        case 'C':
            return "Długość strony";
        case 'D':
            return "Tabulatory poziome";
        case 'E':
            return "Pogrubienie";
        case 'F':
            return "Bez pogrubienia";
        case 'G':
            return "Podwójne uderzenie";
        case 'H':
            return "Bez podwójnego uderzenia";
        case 'I':
            return "Drukowanie kodów sterujących";
        case 'J':
            return "Przesuw papieru";
        case 'M':
            return "12 znaków/cal (Elite)";
        case 'N':
            return "Pomijanie perforacji";
        case 'O':
            return "Bez pomijania perforacji";
        case 'P':
            return "10 znaków/cal (Pica)";
        case 'Q':
            return "Prawy margines";
        case 'R':
            return "Znaki narodowe";
        case 'S':
            return "Indeks górny lub dolny";
        case 'T':
            return "Bez indeksu";
        case 'U':
            return "Druk jednokierunkowy";
        case 'W':
            return "Podwójna szerokość";
        case 'X':
            return "Wybór czcionki (gęstość i wielkość)";
        case '\\':
            return "Pozycja pozioma względna";
        case 'a':
            return "Wyrównanie";
        case 'b':
            return "Tabulatory pionowe kanału";
        case 'c':
            return "Odstęp znaków (HMI)";
        case 'e':
            return "Stały krok tabulacji";
        case 'f':
            return "Przeskok poziomy lub pionowy";
        case 'g':
            return "15 znaków/cal";
        case 'h':
            return "Powiększenie znaków";
        case 'i':
            return "Druk natychmiastowy";
        case 'j':
            return "Cofnięcie papieru";
        case 'k':
            return "Krój pisma";
        case 'l':
            return "Lewy margines";
        case 'm':
            return "Górne kody sterujące (9-igłowa)";
        case 'p':
            return "Druk proporcjonalny";
        case 'q':
            return "Styl znaków";
        case 'r':
            return "Kolor";
        case 's':
            return "Druk wolny";
        case 't':
            return "Tablica znaków";
        case 'w':
            return "Podwójna wysokość";
        case 'x':
            return "Jakość druku (LQ lub draft)";
        case 0x0E:
            return "Podwójna szerokość (1 linia)";
        case 0x0F:
            return "Zagęszczenie";
        case 0x19:
            return "Podajnik arkuszy";
        default:
            return {};
    }
}

// Parameter bytes of the commands with a fixed number of them; -1 for the others.
int FixedParameters(std::uint8_t c) {
    switch (c) {
        case '#':
        case '0':
        case '1':
        case '2':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
        case '<':
        case '=':
        case '>':
        case '@':
        case 'E':
        case 'F':
        case 'G':
        case 'H':
        case 'M':
        case 'O':
        case 'P':
        case 'T':
        case 'g':
        case 0x0E:
        case 0x0F:
            return 0;
        case ' ':
        case '!':
        case '%':
        case '+':
        case '-':
        case '/':
        case '3':
        case 'A':
        case 'I':
        case 'J':
        case 'N':
        case 'Q':
        case 'R':
        case 'S':
        case 'U':
        case 'W':
        case 'a':
        case 'h':
        case 'i':
        case 'j':
        case 'k':
        case 'l':
        case 'm':
        case 'p':
        case 'q':
        case 'r':
        case 's':
        case 't':
        case 'w':
        case 'x':
        case 0x19:
            return 1;
        case '$':
        case '?':
        case '\\':
        case 'c':
        case 'e':
        case 'f':
            return 2;
        case ':':
        case 'X':
            return 3;
        default:
            return -1;
    }
}

}  // namespace

TEscPMeasure MeasureEscP(ByteView data, std::size_t p, TPins pins,
                         const std::array<std::uint8_t, 4>& densities) {
    const std::size_t size = data.size();
    if (p + 1 >= size) return {1, 0, false, false};
    const std::uint8_t c = data[p + 1];
    const auto at = [&](std::size_t i) -> int { return p + i < size ? data[p + i] : 0; };
    // The whole command of `head` bytes and `payload` data bytes, as far as the data goes.
    const auto measure = [&](std::size_t head, std::size_t payload) {
        const std::size_t length = std::min(head + payload, size - p);
        return TEscPMeasure{length, length > head ? length - head : 0, true,
                            head + payload <= size - p};
    };
    // Values up to a NUL, at most `most` of them.
    const auto untilNul = [&](std::size_t from, std::size_t most) {
        std::size_t i = from;
        while (p + i < size && data[p + i] != kNul && i - from < most) ++i;
        if (p + i < size && data[p + i] == kNul) return measure(i + 1, 0);
        return measure(i - from < most ? i + 1 : i, 0);
    };
    if (const int fixed = FixedParameters(c); fixed >= 0) return measure(2 + fixed, 0);
    switch (c) {
        case 'K':
        case 'L':
        case 'Y':
        case 'Z': {
            const int mode = densities[static_cast<std::size_t>(DensityIndex(c))];
            const std::size_t columns = static_cast<std::size_t>(at(2) | (at(3) << 8));
            return measure(4, columns * BytesPerColumn(mode));
        }
        case '*': {
            const std::size_t columns = static_cast<std::size_t>(at(3) | (at(4) << 8));
            return measure(5, columns * BytesPerColumn(at(2)));
        }
        case '^': {  // 9-pin graphics: two bytes a column
            const std::size_t columns = static_cast<std::size_t>(at(3) | (at(4) << 8));
            return measure(5, columns * 2);
        }
        case '.': {  // ESC/P 2 raster: c v h m nL nH
            const std::size_t rows = static_cast<std::size_t>(at(5));
            const std::size_t columns = static_cast<std::size_t>(at(6) | (at(7) << 8));
            const std::size_t bytes = rows * ((columns + 7) / 8);
            const int compression = at(2);
            if (compression == 1) return measure(8, RunLengthInput(data, p + 8, bytes));
            return measure(8, compression == 0 ? bytes : 0);
        }
        case '(': {  // ESC/P 2: ESC ( c nL nH and n bytes, data only for text and bar codes
            const std::size_t n = static_cast<std::size_t>(at(3) | (at(4) << 8));
            return at(2) == '^' || at(2) == 'B' ? measure(5, n) : measure(5 + n, 0);
        }
        case '&': {  // user-defined characters: NUL, first, last, then each character
            std::size_t i = 5;
            const int first = at(3), last = at(4);
            for (int ch = first; ch <= last && p + i < size; ++ch) {
                if (pins == TPins::k9) {
                    i += 12;  // attribute byte and 11 columns
                } else {
                    i += 3 + static_cast<std::size_t>(at(i + 1)) * 3;  // spaces, width, columns
                }
            }
            return measure(5, i - 5);
        }
        case 'B':
            return untilNul(2, kMaxVerticalTabs);
        case 'D':
            return untilNul(2, kMaxTabs);
        case 'b':
            return untilNul(3, kMaxVerticalTabs);
        case 'C':
            return measure(at(2) == 0 ? 4 : 3, 0);
        default:
            return {2, 0, false, true};  // unknown: the ESC and the letter
    }
}

TPins DetectPins(ByteView data) {
    int nine = 0, twentyFour = 0;
    int nineSpacing = 0, twentyFourSpacing = 0;
    for (std::size_t p = 0; p < data.size();) {
        if (data[p] != kEsc) {
            ++p;
            continue;
        }
        const TEscPMeasure m = MeasureEscP(data, p, TPins::k24, kEscPDefaultDensities);
        const int c = p + 1 < data.size() ? data[p + 1] : 0;
        const int n = p + 2 < data.size() ? data[p + 2] : -1;
        if (c == '*' && n >= 32) ++twentyFour;
        if (c == '*' && (n == 5 || n == 7)) ++nine;
        if (c == '?' && p + 3 < data.size()) {
            if (data[p + 3] >= 32) ++twentyFour;
            if (data[p + 3] == 5 || data[p + 3] == 7) ++nine;
        }
        if (c == '(' || c == '+' || c == '.' || c == 'X' || c == 'c') ++twentyFour;
        if (c == '^' || c == '1') ++nine;
        // 1/6, 1/8 and 1/12 inch are 36, 27 and 18 on a 9-pin printer, 30, 22.5, 15 on a
        // 24-pin one.
        if (c == '3' && n > 0) {
            if (n % 9 == 0 && n % 5 != 0) ++nineSpacing;
            if (n % 15 == 0 && n % 9 != 0) ++twentyFourSpacing;
        }
        if (c == 'A' && n > 0) {
            if (n % 12 == 0 && n % 10 != 0) ++nineSpacing;
            if (n % 10 == 0 && n % 12 != 0) ++twentyFourSpacing;
        }
        p += m.length;
    }
    if (nine != twentyFour) return nine > twentyFour ? TPins::k9 : TPins::k24;
    return nineSpacing > twentyFourSpacing ? TPins::k9 : TPins::k24;
}

TEscPLanguage::TEscPLanguage(TPins pins) : pins_(pins) {
    Reset();
}

void TEscPLanguage::Reset() {
    densities_ = kEscPDefaultDensities;
    unit_ = 0;
    tabs_.clear();
    for (std::size_t i = 1; i <= kMaxTabs; ++i) tabs_.push_back(0.8 * static_cast<double>(i));
    verticalTabs_.clear();
    country_ = 0;
    italicTable_ = false;
    upperControls_ = false;
}

double TEscPLanguage::RelativeUnit() const {
    if (unit_ > 0) return unit_;
    return pins_ == TPins::k9 ? 1.0 / 120 : 1.0 / 180;
}

char32_t TEscPLanguage::NationalCharacter(int country, std::uint8_t byte) {
    const int row = country == 64 ? 14 : country;
    if (row <= 0 || row > 14) return 0;
    for (std::size_t i = 0; i < kNationalBytes.size(); ++i) {
        if (kNationalBytes[i] != byte) continue;
        const char32_t ch = kNational[row][i];
        return ch == static_cast<char32_t>(byte) ? 0 : ch;
    }
    return 0;
}

double TEscPLanguage::NextTab(double along, IPage&) {
    for (double stop : tabs_) {
        if (stop > along + kEpsilon) return stop;
    }
    return -1;
}

TLanguageStep TEscPLanguage::Step(ByteView data, std::size_t p, IPage* page) {
    const std::uint8_t b = data[p];
    if (b == kEsc) return Command(data, p, page);
    if (b < 0x20) return Control(b, page);
    TLanguageStep text{1, 0, true, 0, {}};
    if (b >= 0x80 && italicTable_) {
        if (b < 0xA0 && upperControls_) {
            if (page) page->ControlCode(static_cast<std::uint8_t>(b - 0x80));
            return {1, 0, false, 0, "Kod sterujący z górnej połowy"};
        }
        // The italic table: the upper half is the lower half in italics.
        if (page) page->Print(OneByte(static_cast<std::uint8_t>(b - 0x80)), true);
        return text;
    }
    text.character = NationalCharacter(country_, b);
    if (page) {
        if (text.character != 0) {
            page->PrintCharacter(text.character);
        } else {
            page->Print(data.subspan(p, 1));
        }
    }
    return text;
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
            m = kCondensed;
            break;
        case 0x11:
            step.name = "Wybór drukarki";
            break;
        case 0x12:
            step.name = "Bez zagęszczenia";
            m = kCondensedOff;
            break;
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

void TEscPLanguage::VerticalTab(IPage& page) {
    if (verticalTabs_.empty()) {
        page.Feed(page.LineSpacing());
        return;
    }
    const double down = page.Down();
    for (double stop : verticalTabs_) {
        if (stop > down + kEpsilon) {
            page.MoveDown(stop);
            page.MoveAlong(0);
            return;
        }
    }
    page.Apply(kNewPage);  // no stop below: the top of the next page
}

TLanguageStep TEscPLanguage::Command(ByteView data, std::size_t p, IPage* page) {
    const TEscPMeasure m = MeasureEscP(data, p, pins_, densities_);
    TLanguageStep step{m.length, m.payload, false, 0, "Nieznane polecenie"};
    if (m.length < 2) {
        step.name = "ESC bez polecenia";
        return step;
    }
    const std::uint8_t c = data[p + 1];
    if (!m.known) return step;
    step.name = CommandName(c);
    const ByteView all = data.subspan(p, m.length);
    // A command cut short by the end of the printout is skipped, not carried out.
    const bool complete = m.complete;
    const auto arg = [&](std::size_t i) -> int { return 2 + i < all.size() ? all[2 + i] : 0; };
    const auto word = [&](std::size_t i) { return arg(i) | (arg(i + 1) << 8); };

    switch (c) {
        case 'K':
        case 'L':
        case 'Y':
        case 'Z': {
            const int mode = densities_[static_cast<std::size_t>(DensityIndex(c))];
            step.name = GraphicsName(mode);
            if (page && complete) Columns(all.subspan(4), word(0), mode, *page);
            return step;
        }
        case '*':
            step.name = GraphicsName(arg(0));
            if (page && complete) Columns(all.subspan(5), word(1), arg(0), *page);
            return step;
        case '^':
            step.name = "Grafika 9-igłowa";
            if (page && complete) NineDots(all.subspan(5), word(1), arg(0) == 0 ? 60 : 120, *page);
            return step;
        case '.':
            step.name = "Grafika rastrowa";
            if (page && complete) Raster(all.subspan(2, 6), all.subspan(8), *page);
            return step;
        case '(':
            step.name = ExtendedName(static_cast<std::uint8_t>(arg(0)));
            if (complete) Extended(all.subspan(2), m.length, page);
            return step;
        case '?': {
            const int which = DensityIndex(arg(0));
            if (which >= 0 && complete) {
                densities_[static_cast<std::size_t>(which)] = static_cast<std::uint8_t>(arg(1));
            }
            return step;
        }
        case '@':
            if (page) {
                page->Apply(kReset);  // which resets this language too
            } else {
                Reset();
            }
            return step;
        case 'R':
            if (complete) country_ = (arg(0) <= 13 || arg(0) == 64) ? arg(0) : 0;
            return step;
        case 't':
            if (complete) italicTable_ = IsOff(static_cast<std::uint8_t>(arg(0)));
            return step;
        case '6':
            upperControls_ = false;
            return step;
        case '7':
            upperControls_ = true;
            return step;
        default:
            break;
    }
    if (!page || !complete) return step;

    IPage& pg = *page;
    const std::uint8_t n = static_cast<std::uint8_t>(arg(0));
    switch (c) {
        case ' ':
            pg.SetExtraSpace(n * RelativeUnit());
            break;
        case '!': {
            pg.Apply((n & 4) ? ((n & 1) ? kCpi20 : kCpi17) : ((n & 1) ? kCpi12 : kCpi10));
            pg.Apply((n & 0x18) ? kBoldOn : kBoldOff);
            pg.Apply((n & 0x20) ? kEnlargedMulti : kEnlargedOff);
            pg.Apply((n & 0x40) ? kItalicOn : kItalicOff);
            pg.Apply((n & 0x80) ? kUnderlineOn : kUnderlineOff);
            break;
        }
        case '$':
            pg.MoveAlong(word(0) * AbsoluteUnit());
            break;
        case '\\':
            pg.MoveAlong(pg.Along() + static_cast<std::int16_t>(word(0)) * RelativeUnit());
            break;
        case '+':
            pg.SetLineSpacing(n / 360.0);
            break;
        case '-':
            if (IsOn(n)) pg.Apply(kUnderlineOn);
            if (IsOff(n)) pg.Apply(kUnderlineOff);
            break;
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
        case '4':
            pg.Apply(kItalicOn);
            break;
        case '5':
            pg.Apply(kItalicOff);
            break;
        case 'B': {
            verticalTabs_.clear();
            const double spacing = pg.LineSpacing();
            for (std::size_t i = 2; i < all.size() && all[i] != kNul; ++i) {
                const double stop = all[i] * spacing;
                if (!verticalTabs_.empty() && stop <= verticalTabs_.back()) break;
                verticalTabs_.push_back(stop);
            }
            break;
        }
        case 'C':
            pg.SetPageLength(n == 0 ? arg(1) : n * pg.LineSpacing());
            break;
        case 'D': {
            tabs_.clear();
            const double column = 1.0 / pg.Pitch();
            for (std::size_t i = 2; i < all.size() && all[i] != kNul; ++i) {
                const double stop = all[i] * column;
                if (!tabs_.empty() && stop <= tabs_.back()) break;
                tabs_.push_back(stop);
            }
            break;
        }
        case 'E':
        case 'G':
            pg.Apply(kBoldOn);
            break;
        case 'F':
        case 'H':
            pg.Apply(kBoldOff);
            break;
        case 'J':
            pg.Feed(n * FeedUnit());
            break;
        case 'j':
            pg.MoveDown(pg.Down() - n * FeedUnit());
            break;
        case 'M':
            pg.Apply(kElite);
            break;
        case 'P':
            pg.Apply(kPica);
            break;
        case 'g':
            pg.SetPitch(15);
            break;
        case 'N':
            pg.SetBottomSkip(n * pg.LineSpacing());
            break;
        case 'O':
            pg.SetBottomSkip(0);
            break;
        case 'S':
            if (IsOff(n)) pg.Apply(kSuperscript);
            if (IsOn(n)) pg.Apply(kSubscript);
            break;
        case 'T':
            pg.Apply(kScriptOff);
            break;
        case 'W':
            if (IsOn(n)) pg.Apply(kEnlargedMulti);
            if (IsOff(n)) pg.Apply(kEnlargedOff);
            break;
        case 'X':
            if (n >= 5) pg.SetPitch(360.0 / n);
            break;
        case 'c':
            if (word(0) > 0) pg.SetPitch(360.0 / word(0));
            break;
        case 'e':
            if (n == 0 && arg(1) > 0) {
                tabs_.clear();
                for (std::size_t i = 1; i <= kMaxTabs; ++i) {
                    tabs_.push_back(static_cast<double>(i * arg(1)) / pg.Pitch());
                }
            }
            break;
        case 'f':
            if (n == 0) pg.MoveAlong(pg.Along() + arg(1) / pg.Pitch());
            if (n == 1) pg.Feed(arg(1) * pg.LineSpacing());
            break;
        case 'l':
            pg.SetLeftMargin(n / pg.Pitch());
            break;
        case 0x0E:
            pg.Apply(kEnlargedLine);
            break;
        case 0x0F:
            pg.Apply(kCondensed);
            break;
        default:
            break;  // no effect on a page drawn here
    }
    return step;
}

TLanguageStep TEscPLanguage::Extended(ByteView args, std::size_t length, IPage* page) {
    // args: the letter, nL, nH, then the parameters
    const std::uint8_t c = args[0];
    const ByteView params = args.subspan(3);
    const auto at = [&](std::size_t i) -> int { return i < params.size() ? params[i] : 0; };
    const auto word = [&](std::size_t i) { return at(i) | (at(i + 1) << 8); };
    TLanguageStep step{length, 0, false, 0, ExtendedName(c)};
    if (c == 'U' && !params.empty()) {
        if (params.size() >= 5 && word(3) > 0) {
            unit_ = static_cast<double>(at(2)) / word(3);  // horizontal unit over the base
        } else if (at(0) > 0) {
            unit_ = at(0) / 3600.0;
        }
        return step;
    }
    if (!page) return step;
    IPage& pg = *page;
    switch (c) {
        case 'C':
            pg.SetPageLength(word(0) * ExtendedUnit());
            break;
        case 'c':
            pg.SetPageLength(word(2) * ExtendedUnit());
            break;
        case 'V':
            pg.MoveDown(word(0) * ExtendedUnit());
            break;
        case 'v':
            pg.MoveDown(pg.Down() + static_cast<std::int16_t>(word(0)) * ExtendedUnit());
            break;
        case '$': {
            const std::uint32_t v =
                static_cast<std::uint32_t>(word(0)) | (static_cast<std::uint32_t>(word(2)) << 16);
            pg.MoveAlong(v * ExtendedUnit());
            break;
        }
        case '-':
            if (at(1) == 1) pg.Apply(at(2) != 0 ? kUnderlineOn : kUnderlineOff);
            if (at(1) == 2) pg.SetStyle(font_style::kStrikeOut, at(2) != 0);
            break;
        case '^':
            pg.Print(params);
            break;
        default:
            break;
    }
    return step;
}

void TEscPLanguage::Columns(ByteView data, int columns, int mode, IPage& page) const {
    const TDensity density = DensityOf(mode);
    const int bytes = density.dots / 8;
    TBitmap bitmap = TBitmap::Blank(columns, density.dots);
    for (int x = 0; x < columns; ++x) {
        for (int k = 0; k < bytes; ++k) {
            const std::uint8_t b = data[static_cast<std::size_t>(x * bytes + k)];
            if (b == 0) continue;
            for (int bit = 0; bit < 8; ++bit) {
                if (b & (0x80 >> bit)) bitmap.SetDot(x, k * 8 + bit);
            }
        }
    }
    const double down = density.dots == 8    ? (pins_ == TPins::k9 ? 72.0 : 60.0)
                        : density.dots == 24 ? 180.0
                                             : 360.0;
    const double width = columns / density.dpi;
    page.DrawPicture(bitmap, page.Along(), page.Down(), width, density.dots / down);
    page.MoveAlong(page.Along() + width);
}

void TEscPLanguage::NineDots(ByteView data, int columns, double dpi, IPage& page) const {
    TBitmap bitmap = TBitmap::Blank(columns, 9);
    for (int x = 0; x < columns; ++x) {
        const std::uint8_t top = data[static_cast<std::size_t>(2 * x)];
        for (int bit = 0; bit < 8; ++bit) {
            if (top & (0x80 >> bit)) bitmap.SetDot(x, bit);
        }
        if (data[static_cast<std::size_t>(2 * x + 1)] & 0x80) bitmap.SetDot(x, 8);
    }
    const double width = columns / dpi;
    page.DrawPicture(bitmap, page.Along(), page.Down(), width, 9 / 72.0);
    page.MoveAlong(page.Along() + width);
}

void TEscPLanguage::Raster(ByteView params, ByteView data, IPage& page) const {
    // c v h m nL nH: compression, dot spacing down and along in 1/3600 inch, rows, columns.
    const int compression = params[0];
    const double down = (params[1] > 0 ? params[1] : 10) / 3600.0;
    const double along = (params[2] > 0 ? params[2] : 10) / 3600.0;
    const int rows = params[3];
    const int columns = params[4] | (params[5] << 8);
    if (compression > 1 || rows == 0 || columns == 0) return;
    TBitmap bitmap = TBitmap::Blank(columns, rows);
    const std::size_t size = bitmap.bits.size();
    if (compression == 1) {
        bitmap.bits = RunLengthDecode(data, size);
    } else {
        std::copy_n(data.begin(), std::min(size, data.size()), bitmap.bits.begin());
    }
    page.DrawPicture(bitmap, page.Along(), page.Down(), columns * along, rows * down);
    page.MoveAlong(page.Along() + columns * along);
}

}  // namespace quernel
