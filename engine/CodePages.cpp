#include "engine/CodePages.h"

namespace quernel {

const std::array<char32_t, 256>& CodePageTable(CodePage page) {
    using namespace codepage_tables;
    switch (page) {
        case CodePage::kCp1250:
            return kCp1250;
        case CodePage::kCp852:
            return kCp852;
        case CodePage::kCp1252:
            return kCp1252;
        case CodePage::kCp1251:
            return kCp1251;
        case CodePage::kCp1257:
            return kCp1257;
        case CodePage::kCp1253:
            return kCp1253;
        case CodePage::kMacRoman:
            return kMacRoman;
        case CodePage::kAdobeSymbol:
            return kAdobeSymbol;
    }
    return kCp1250;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string ToUtf8(CodePage page, ByteView bytes) {
    const auto& table = CodePageTable(page);
    std::string out;
    out.reserve(bytes.size());
    for (std::uint8_t b : bytes) AppendUtf8(out, table[b]);
    return out;
}

}  // namespace quernel
