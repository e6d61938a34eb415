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
    switch (cmd.key) {
        case 'R':
            country_ = (cmd.Arg(0) <= 13 || cmd.Arg(0) == 64) ? cmd.Arg(0) : 0;
            return true;
        case 't':
            italicTable_ = IsOff(cmd.Arg(0));
            return true;
        case '6':
            upperControls_ = false;
            return true;
        case '7':
            upperControls_ = true;
            return true;
        case Ext('^'):  // the data printed as characters
            if (page) page->Print(cmd.params);
            return true;
        default:
            return false;
    }
}

TLanguageStep TEscPLanguage::Text(std::uint8_t b, IPage* page) {
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
            page->Print(OneByte(b));
        }
    }
    return text;
}

}  // namespace quernel
