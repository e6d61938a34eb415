#include "engine/EscPCommand.h"
#include "engine/EscPLanguage.h"

// ESC/P characters: national sets, character tables, the upper control codes, and printing a
// byte of text through them.

namespace quernel {

using namespace escp;

namespace {

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

}  // namespace

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

bool TEscPLanguage::TableCommand(const TEscPCommand& cmd, IPage* page) {
    // A table's number: 0..3, also as the digits "0".."3"; -1 for another value.
    const auto slot = [](int n) { return n >= '0' && n <= '3' ? n - '0' : n <= 3 ? n : -1; };
    switch (cmd.key) {
        case 'R':
            country_ = (cmd.Arg(0) <= 13 || cmd.Arg(0) == 64) ? cmd.Arg(0) : 0;
            return true;
        case 't':
            if (slot(cmd.Arg(0)) >= 0) table_ = slot(cmd.Arg(0));
            return true;
        case Ext('t'): {  // d1 d2 d3: table d1 becomes the registered table d2 d3
            const int which = slot(cmd.Arg(0));
            if (which < 0) return true;
            if (cmd.Arg(1) == 0 && cmd.Arg(2) == 0) {
                tables_[static_cast<std::size_t>(which)] = {true, nullptr};
            } else if (const auto* upper = RegisteredTable(cmd.Arg(1), cmd.Arg(2))) {
                tables_[static_cast<std::size_t>(which)] = {false, upper};
            }  // a table the printer does not have: the assignment is ignored
            return true;
        }
        case '6':
            upperControls_ = false;
            return true;
        case '7':
            upperControls_ = true;
            return true;
        case 'm':  // 9-pin: 4 makes 128..159 control codes, 0 characters
            upperControls_ = (cmd.Arg(0) & 4) != 0;
            return true;
        case 'I':
            if (IsOn(cmd.Arg(0))) printControls_ = true;
            if (IsOff(cmd.Arg(0))) printControls_ = false;
            return true;
        case Ext('^'):  // the data printed as characters, control bytes too
            if (page) {
                for (std::uint8_t b : cmd.params) PrintByte(b, page);
            }
            return true;
        default:
            return false;
    }
}

bool TEscPLanguage::PrintsAsCharacter(std::uint8_t code) const {
    // The control codes ESC/P uses stay commands.
    switch (code) {
        case 0x07:
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x0E:
        case 0x0F:
        case 0x11:
        case 0x12:
        case 0x13:
        case 0x14:
        case 0x18:
        case 0x1B:
            return false;
        default:
            return true;
    }
}

TLanguageStep TEscPLanguage::Text(std::uint8_t b, IPage* page) {
    if (b >= 0x80 && b < 0xA0 && upperControls_ && !printControls_) {
        if (page) page->ControlCode(static_cast<std::uint8_t>(b - 0x80));
        return {1, 0, false, 0, "Kod sterujący z górnej połowy"};
    }
    return {1, 0, true, PrintByte(b, page), {}};
}

char32_t TEscPLanguage::PrintByte(std::uint8_t b, IPage* page) {
    if (PrintUserCharacter(b, page)) return 0;
    const TCharTable& table = tables_[static_cast<std::size_t>(table_)];
    if (b >= 0x80 && table.italic) {
        // The italic table: the upper half is the lower half in italics.
        if (page) page->Print(OneByte(static_cast<std::uint8_t>(b - 0x80)), true);
        return 0;
    }
    char32_t ch = 0;
    if (b < 0x20) {
        ch = kPcControlGlyphs[b];
    } else if (b >= 0x80 && table.upper) {
        ch = (*table.upper)[b - 0x80];
    } else {
        ch = NationalCharacter(country_, b);
    }
    if (page) {
        if (ch != 0) {
            page->PrintCharacter(ch);
        } else {
            page->Print(OneByte(b));
        }
    }
    return ch;
}

}  // namespace quernel
