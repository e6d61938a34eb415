#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "engine/CodePages.h"
#include "host/Bytes.h"

namespace quernel {

// A font character set the user can choose for a character map, and the code page through
// which its bytes are drawn here.
struct TCharset {
    std::string_view name;
    std::uint8_t value;  // the font character-set code the map names
    CodePage codePage;
};

inline constexpr int kCharsetCount = 9;

const std::array<TCharset, kCharsetCount>& CharsetTable();

// The entry for an index; an index beyond the table names no charset and counts as 0.
const TCharset& CharsetAt(std::uint8_t index);

// The charset value through which the renderer draws code page 437's own characters (the DOS
// graphic characters of DosGraphics.h); not one a map can choose.
inline constexpr std::uint8_t kCp437Charset = 254;

// The code page that draws a font character-set value (Windows-1250 for unknown values).
CodePage CodePageForCharset(std::uint8_t charsetValue);

// The byte printed for each input byte, and the charset of the font; also the exact image of
// a ".cmap" file (256 map bytes, then the charset index).
struct TCharMapRecord {
    std::array<std::uint8_t, 256> Map{};
    std::uint8_t CharsetIndex = 0;

    static TCharMapRecord Identity();
    bool operator==(const TCharMapRecord&) const = default;
};

inline constexpr std::size_t kCharMapFileSize = 257;

// Reads a ".cmap" file over the record: CharsetIndex becomes 0, then the file's bytes replace
// the record's from the start, as far as they go (at most 257). A charset index above 8 reads
// as 0. Throws FileError when the file cannot be read.
void ReadCharMapFile(const std::filesystem::path& path, TCharMapRecord& record);

Bytes EncodeCharMap(const TCharMapRecord& record);

// Creates or replaces the file with exactly 257 bytes; throws FileError.
void WriteCharMapFile(const std::filesystem::path& path, const TCharMapRecord& record);

}  // namespace quernel
