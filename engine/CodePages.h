#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/Bytes.h"

namespace quernel {

// The 8-bit code pages through which the renderer turns printed bytes into characters.
enum class CodePage {
    kCp1250,       // Windows Central European
    kCp852,        // DOS Latin II
    kCp1252,       // Windows Western
    kCp1251,       // Windows Cyrillic
    kCp1257,       // Windows Baltic
    kCp1253,       // Windows Greek
    kMacRoman,     // Mac OS Roman
    kAdobeSymbol,  // Adobe Symbol encoding
    kCp437,        // DOS US: box drawing, blocks, Greek and mathematical signs
};

// byte -> Unicode code point; undefined bytes give U+FFFD.
const std::array<char32_t, 256>& CodePageTable(CodePage page);

void AppendUtf8(std::string& out, char32_t cp);
std::string ToUtf8(CodePage page, ByteView bytes);

// The code point of the UTF-8 character starting at text[i], advancing i past it; nothing (and
// i unchanged) for a byte that does not start a well-formed character.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& i);

// The byte of a character in a code page; nothing when the code page lacks it.
std::optional<std::uint8_t> FromUnicode(CodePage page, char32_t cp);

namespace codepage_tables {
extern const std::array<char32_t, 256> kCp1250;
extern const std::array<char32_t, 256> kCp852;
extern const std::array<char32_t, 256> kCp1252;
extern const std::array<char32_t, 256> kCp1251;
extern const std::array<char32_t, 256> kCp1257;
extern const std::array<char32_t, 256> kCp1253;
extern const std::array<char32_t, 256> kMacRoman;
extern const std::array<char32_t, 256> kAdobeSymbol;
extern const std::array<char32_t, 256> kCp437;
}  // namespace codepage_tables

}  // namespace quernel
