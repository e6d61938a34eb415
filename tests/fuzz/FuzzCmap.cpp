// A ".cmap" character map file: read it (short, long and damaged files included), write it
// back, and explain a printout through it.
#include "engine/CharMap.h"
#include "engine/Explain.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/fuzz/TempFile.h"

using namespace quernel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteView bytes(data, size);
    TCharMapRecord map = TCharMapRecord::Identity();
    ReadCharMapFile(fuzz::InputFile(bytes, ".cmap"), map);
    fuzz::Check(map.CharsetIndex < kCharsetCount, "a charset outside the table");
    const Bytes encoded = EncodeCharMap(map);
    fuzz::Check(encoded.size() == kCharMapFileSize, "a map that does not write 257 bytes");
    const std::size_t mapped = std::min<std::size_t>(size, 256);
    fuzz::Check(std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(mapped),
                           encoded.begin()),
                "the map's bytes changed");
    if (size == kCharMapFileSize && data[256] < kCharsetCount) {
        fuzz::Check(encoded == Bytes(bytes.begin(), bytes.end()), "a whole map changed");
    }
    TEscapeSequences none;
    for (const ExplainItem& item : ExplainPrintout(bytes, none, map, false)) {
        FormatExplainItem(item);
    }
    return 0;
}
