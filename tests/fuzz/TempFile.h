#pragma once

#include <filesystem>
#include <string>

#include "host/Bytes.h"
#include "host/FileUtil.h"
#include "tests/support/TempDir.h"

namespace quernel::fuzz {

// One temporary file, rewritten with each input, for readers that take a path; its folder is
// removed at the end of the process.
inline std::filesystem::path InputFile(ByteView data, const std::string& extension) {
    static const test::TempDir folder;
    const std::filesystem::path path = folder / ("input" + extension);
    WriteFileAtomic(path, data, false);
    return path;
}

}  // namespace quernel::fuzz
