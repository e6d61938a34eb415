#include "host/Text.h"

#include <cstdint>
#include <cstdio>
#include <utility>

namespace quernel {

namespace {

// The code point of the UTF-8 sequence at i and its length; length 0 for a byte that does not
// start a well-formed sequence (overlong forms and surrogates included).
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    std::size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead < 0x80) return {lead, 1};
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return {0, 0};
    }
    if (i + length > text.size()) return {0, 0};
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return {0, 0};
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {0, 0};
    return {code, length};
}

// Characters that end a line in a text box, or reorder what follows them.
bool IsLayoutControl(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C;
}

}  // namespace

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char buffer[12];
    for (std::size_t i = 0; i < text.size();) {
        const auto [code, length] = DecodeUtf8(text, i);
        if (length == 0) {
            std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<std::uint8_t>(text[i]));
            out += buffer;
            ++i;
            continue;
        }
        if (code == '\n') {
            out += "\\n";
        } else if (code == '\r') {
            out += "\\r";
        } else if (code == '\t') {
            out += "\\t";
        } else if (code < 0x20 || code == 0x7F) {
            std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(code));
            out += buffer;
        } else if (IsLayoutControl(code)) {
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(code));
            out += buffer;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

}  // namespace quernel
