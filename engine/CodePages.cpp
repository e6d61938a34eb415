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
        case CodePage::kCp437:
            return kCp437;
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

std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    int length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        length = 1;
        cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (i + static_cast<std::size_t>(length) > text.size()) return std::nullopt;
    for (int k = 1; k < length; ++k) {
        const std::uint8_t b = byte(i + static_cast<std::size_t>(k));
        if ((b & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Over-long forms, surrogates and values beyond Unicode are not characters.
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return std::nullopt;
    i += static_cast<std::size_t>(length);
    return cp;
}

std::optional<std::uint8_t> FromUnicode(CodePage page, char32_t cp) {
    const auto& table = CodePageTable(page);
    for (int b = 0; b < 256; ++b) {
        if (table[b] == cp) return static_cast<std::uint8_t>(b);
    }
    return std::nullopt;
}

std::string ToUtf8(CodePage page, ByteView bytes) {
    const auto& table = CodePageTable(page);
    std::string out;
    out.reserve(bytes.size());
    for (std::uint8_t b : bytes) AppendUtf8(out, table[b]);
    return out;
}

}  // namespace quernel
